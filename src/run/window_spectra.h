// The spectra of a time window of a run, computed in one place for the viewer and for
// `hulvex spectrum`: Welch densities of channels in the units of the channel vocabulary with their
// moments and periods, the spectrum of the undisturbed sea at the centre of gravity in encounter
// time, and the transfer functions from that wave to each channel.
#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/spectrum.h"
#include "common/diagnostics.h"
#include "run/window_statistics.h"
#include "sea/sea_constants.h"

namespace hulvex {

// The steps and the sea the spectra read: views of the steps, the caller keeps them alive.
struct SpectraInput {
  StatisticsInput Steps;            // the wave needs channel 6 (kChDistance) among Steps.Series
  std::optional<SeaConstants> Sea;  // the run's sea; absent: no wave, NoWaveReason says why
  double Lcg = 0;                   // ft aft of the bow origin: where the wave is taken (the boat's LCG)
  std::string NoWaveReason;
};

struct SpectraRequest {
  double From = -std::numeric_limits<double>::infinity();  // seconds; either bound may be infinite
  double To = std::numeric_limits<double>::infinity();
  std::vector<int> Channels{kChHeight, kChPitch, kChAcceleration};  // in this order
  std::size_t SegmentSamples = 0;  // a power of two, at least 16 (analysis::IsSegmentLength); 0: the default
};

// What every spectrum of the window shares.
struct SpectrumLayout {
  double SampleInterval = 0;  // s
  bool Resampled = false;     // the steps were interpolated onto equal intervals
  std::size_t SegmentSamples = 0;
  std::size_t Segments = 0;
  std::vector<double> Frequencies;  // Hz, 0 ... the Nyquist frequency, SegmentSamples / 2 + 1 bins
};

struct SeriesSpectrum {
  std::vector<double> Psd;  // unit^2/Hz at SpectrumLayout::Frequencies
  analysis::SpectralFigures Figures;
};

struct WindowSpectra {
  double From = 0, To = 0;     // as asked; an infinite bound is the first or last step time
  analysis::StepRange Window;  // the steps in [From, To], as step numbers (FirstStep based)
  analysis::Maybe<SpectrumLayout> Layout;  // Missing: no spectrum at all (too few samples, no time span)
  // One entry per requested channel, in the request's order; densities in display units^2/Hz.
  std::vector<std::pair<int, analysis::Maybe<SeriesSpectrum>>> Channels;
  analysis::Maybe<SeriesSpectrum> Wave;  // ft^2/Hz
  // From the wave to each requested channel, in the request's order (display unit per ft).
  std::vector<std::pair<int, analysis::Maybe<analysis::TransferFunction>>> Transfers;
  std::vector<Diagnostic> Messages;  // the sea's, while computing the wave (the first few)
};

// Every spectrum of the steps of input.Steps in [request.From, request.To]. Values are widened,
// scaled by the vocabulary and put on equal intervals (analysis::GridOf, SampleOnGrid); the wave
// at step i is SeaElevation(Xb = channel 6 as stored, H = Lcg, T = its step time, no surface term).
// A channel not held or not stored, a flat sea (kind 1, or drawn flat), or no sea give Missing
// entries with reasons, never an exception; transfer functions are Missing without the wave.
// Needs non-decreasing step times and request.SegmentSamples 0 or a valid segment length. The
// wave is computed on several threads. Thread-safe for inputs nobody changes meanwhile.
WindowSpectra ComputeWindowSpectra(const SpectraInput& input, const SpectraRequest& request);

}  // namespace hulvex
