// Per-channel statistics, impact peaks and zero-crossing motion amplitudes of a window of steps.
// Values are in whatever unit the caller passes (the viewer passes display units: ft, g, degrees,
// knots); results are in that unit.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "analysis/series.h"

namespace hulvex::analysis {

// Sample statistics: each step counts once, whatever the time between steps.
struct ChannelStatistics {
  std::size_t Count = 0;
  double Mean = 0;
  double Min = 0;
  double MinTime = 0;  // the first step holding Min
  double Max = 0;
  double MaxTime = 0;  // the first step holding Max
  double StdDev = 0;   // population standard deviation about Mean
  double Rms = 0;      // root mean square about zero
};

// Missing for an empty or unusable series (see Series).
Maybe<ChannelStatistics> ComputeChannelStatistics(const Series& series);

// Impacts and motions read a series' crossings of a dead band about its mean m, of half-width
// h = fraction * (max - min) of the series (fraction >= 0). The samples are read in order with a
// state that starts unknown: a sample at or below m - h makes it low; a sample above m + h while
// it is low is an up-crossing and makes it high; a sample at or below m - h while it is high is a
// down-crossing and makes it low. With fraction 0 the band is the mean itself: an up-crossing is
// a sample above the mean after one not above it, a down-crossing one not above it after one above.

// One peak between an up-crossing and the next down-crossing.
struct Peak {
  std::size_t Step = 0;  // step number (Series::FirstStep based) of the largest value
  double Time = 0;
  double Height = 0;     // above the mean
};

struct ImpactStatistics {
  double Mean = 0;        // the level peak heights are measured from: the window's mean
  double Hysteresis = 0;  // the band's half-width h used, in the series' unit
  double Threshold = 0;   // a peak counts when its height is at least this
  std::size_t PeakCount = 0;
  Maybe<double> PeaksPerMinute;  // PeakCount over the window's duration (last minus first time)
  Maybe<double> A1_3;            // mean of the highest floor(PeakCount / 3) heights
  Maybe<double> A1_10;
  Maybe<double> A1_100;
  Maybe<Peak> Largest;
  std::vector<Peak> Peaks;       // the counted peaks, in time order
};

// Impact peaks of an acceleration series: a peak is the largest value from an up-crossing to the
// sample before the next down-crossing (ties keep the first step); an excursion without a
// down-crossing before the end of the series does not count. Missing for an empty or unusable
// series, or a fraction that is negative or not finite.
Maybe<ImpactStatistics> ComputeImpacts(const Series& acceleration, double threshold, double hysteresisFraction = 0);

struct MotionStatistics {
  double Mean = 0;          // the level crossings are taken about
  double Hysteresis = 0;    // the band's half-width h used, in the series' unit
  std::size_t Cycles = 0;   // full cycles: from one up-crossing to the sample before the next
  Maybe<double> SignificantDoubleAmplitude;  // mean of the highest floor(Cycles / 3) heights
};

// Zero-crossing analysis about the mean with the dead band above: a cycle's height is its largest
// minus its smallest value. Missing for an empty or unusable series, or a fraction that is
// negative or not finite.
Maybe<MotionStatistics> ComputeMotions(const Series& motion, double hysteresisFraction = 0);

// The mean of the highest floor(values.size() / fraction) values ("A1/fraction"); Missing, with
// the number needed and found in the reason, when that count is 0. `what` names the items
// ("counted peaks", "full cycles"). fraction >= 1.
Maybe<double> MeanOfHighest(std::span<const double> values, std::size_t fraction, const char* what);

}  // namespace hulvex::analysis
