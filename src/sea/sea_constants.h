// The derived sea constants of an opened run: what the sea surface evaluation needs, computed once
// from the run parameters.
#pragma once

#include <array>
#include <cstdint>

namespace hulvex {

inline constexpr int kMaxSeaComponents = 40;  // components of the random sea, at most
inline constexpr int kStokesPoints = 241;     // table points of one Stokes wave length, 0 ... 240
inline constexpr int kMaxStokesTerms = 9;

// One wave length of the Stokes wave, from trough (about 0) over the crest (about 0.5) to trough
// (about 1).
struct StokesTable {
  std::array<float, kStokesPoints> StokesPhase{};  // phase position, fraction of a wave length
  std::array<float, kStokesPoints> StokesZ{};      // surface elevation there, ft
};

// Written only by SeaSetUp; read by SeaElevation and StokesLookup. Fields not used by the run's
// sea kind hold 0.
struct SeaConstants {
  std::int16_t Waves = 1;   // the run's sea kind, as stored
  bool Refused = false;     // the run's sea settings were refused (a message said which)
  bool FlatDrawn = false;   // the sea is drawn flat although Waves is not 1 (refused, or zero height)

  float DirSign = 1;        // +1 head seas, -1 following seas
  double WaveLength = 0;    // ft; the significant wave length for the random sea
  double Omega = 0;         // rad/s, deep-water frequency of WaveLength
  double Amp = 0;           // ft, half the wave height
  double WaveNumber = 0;    // 1/ft, sinusoidal sea
  double Celerity = 0;      // ft/s: trochoid speed, or the signed Stokes speed

  double RWvTdelay = 0;     // s, prior duration of the random sea
  std::int16_t CompCount = 0;  // random components used, 1 ... 40
  double CompAmp = 0;          // ft, amplitude of every component
  std::array<double, kMaxSeaComponents> CompOmega{};  // rad/s, rising with the index
  std::array<double, kMaxSeaComponents> CompK{};      // 1/ft

  StokesTable Stokes;       // Stokes sea only
};

}  // namespace hulvex
