// The one vocabulary of the time-history channels: how every channel is named, in which unit it
// is shown, the factor from its stored value to that unit and a short key for files (JSON, CSV).
// The GUI, the plots, the command-line tool and ReadStep's conversion all take them from here.
#pragma once

#include <string>

namespace hulvex {

struct ChannelInfo {
  int Channel = 0;
  std::string Name;     // "Height of the centre of gravity", ...; "Channel N" for a channel without a name
  std::string Unit;     // "ft", "g", "deg", "kt"; "raw" for a value shown as stored
  double Factor = 1.0;  // display value = DisplayValue(raw, Factor); always > 0
  std::string Key;      // short, stable, no spaces: "Heave", "Acceleration", ..., "Channel12"
};

// The vocabulary entry of `channel` (any number; those without a name are "Channel N", raw).
// Named: 0 height of the centre of gravity (ft), 2 vertical acceleration (g), 3 pitch (deg),
// 6 distance along the course (ft), 7 speed (kt), 8 to 10 the local surface term's gain, start
// and end (raw).
ChannelInfo ChannelInfoOf(int channel);

// ChannelInfoOf(channel).Factor, without building the texts (for a conversion per step).
double DisplayFactorOf(int channel);

// A stored value in display units: float(raw x factor), computed in double.
inline float DisplayValue(float raw, double factor) { return static_cast<float>(static_cast<double>(raw) * factor); }

}  // namespace hulvex
