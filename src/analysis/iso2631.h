// Ride quality after ISO 2631-1: the frequency weighting Wk for vertical whole-body vibration and
// the figures of a weighted acceleration (r.m.s., vibration dose value, MTVV, crest factor), with
// the exposure times to the daily VDV action and limit values of Directive 2002/44/EC.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "analysis/series.h"

namespace hulvex::analysis {

constexpr double kMetresPerFoot = 0.3048;
constexpr double kVdvActionValue = 9.1;  // m/s^1.75, daily exposure action value
constexpr double kVdvLimitValue = 21.0;  // m/s^1.75, daily exposure limit value
constexpr double kIsoMinDuration = 2.0;  // s: shorter windows give no figures
constexpr std::size_t kIsoMinSamples = 8;
constexpr double kRunningRmsSpan = 1.0;  // s, the integration time of the running r.m.s. (MTVV)
constexpr std::size_t kMaxSamplesPerStep = 16;   // resampling may not multiply the data more
constexpr std::size_t kMaxSamples = std::size_t{1} << 23;  // nor give a longer grid (memory)

// Shown wherever the figures are: the series is the rigid body's acceleration, not a seat's.
constexpr std::string_view kIsoLocationNote = "at the centre of gravity; not a seat measurement";

// The analog Wk at `frequencyHz` (>= 0): band limiting high pass (0.4 Hz, Q 1/sqrt 2) and low pass
// (100 Hz, Q 1/sqrt 2, left out when `withLowPass` is false), acceleration-velocity transition
// (12.5 Hz, Q 0.63) and upward step (2.37 Hz and 3.35 Hz, Q 0.91); gain 1, phase included.
std::complex<double> WkResponse(double frequencyHz, bool withLowPass = true);

// Samples Start + k Interval, k = 0 ... Value.size() - 1.
struct UniformSeries {
  double Start = 0;
  double Interval = 0;
  std::vector<double> Value;
};

// The series resampled onto a uniform grid from its first time, with the median of its step
// intervals (the mean of the middle two for an even count) as the interval, up to its last time;
// values interpolated linearly in time (at a repeated time, the later step). Missing for an
// unusable series, fewer than 2 steps, a median interval of 0, or a grid of more than
// kMaxSamplesPerStep samples per step or kMaxSamples in all.
Maybe<UniformSeries> ResampleOnMedianInterval(const Series& series);

// `values` sampled every `interval` seconds, weighted with Wk: the mean is taken off, the series
// zero-padded (by 10 s, where the weighting's response has died away, but at most 8 times its
// length) to a power of two,
// transformed, multiplied by Wk at each frequency and transformed back. The low pass is applied
// when 100 Hz is at most half the sampling rate. Returns as many values as given.
std::vector<double> WeightWk(std::span<const double> values, double interval);

struct IsoFigures {
  double SampleInterval = 0;  // s, of the uniform grid
  std::size_t Samples = 0;    // of the uniform grid
  double Duration = 0;        // s, last minus first time of the window
  double WeightedRms = 0;     // a_w, m/s^2
  double Vdv = 0;             // (integral of a_w^4 dt)^(1/4), m/s^1.75
  double Mtvv = 0;            // largest r.m.s. over the preceding kRunningRmsSpan, m/s^2
  Maybe<double> CrestFactor;       // max |a_w| / WeightedRms
  Maybe<double> HoursToVdvAction;  // (kVdvActionValue / Vdv)^4 Duration, in hours
  Maybe<double> HoursToVdvLimit;   // (kVdvLimitValue / Vdv)^4 Duration, in hours
};

// The figures of a vertical acceleration in m/s^2: resampled (ResampleOnMedianInterval), weighted
// (WeightWk), then integrated over the grid by the rectangle rule. Missing when the series cannot
// be resampled, lasts less than kIsoMinDuration or gives fewer than kIsoMinSamples samples.
Maybe<IsoFigures> ComputeIso2631(const Series& accelerationMs2);

}  // namespace hulvex::analysis
