// The statistics of a time window of a run, computed in one place for the Channels window and for
// `hulvex stats`: per-channel statistics, impact peaks and their extremes, motion amplitudes and
// ISO 2631-1 ride quality, in the units of the channel vocabulary.
#pragma once

#include <array>
#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/extremes.h"
#include "analysis/iso2631.h"
#include "analysis/statistics.h"
#include "runfiles/time_history.h"

namespace hulvex {

// The steps and raw stored values the statistics read: views, the caller keeps them alive.
struct StatisticsInput {
  std::span<const double> StepTimes;  // element i is step FirstStep + i; non-decreasing
  std::size_t FirstStep = 0;
  int LastChannel = -1;  // the history's LastChannel (for the reasons of missing figures)
  // Raw values per channel, each as long as StepTimes.
  std::vector<std::pair<int, std::span<const float>>> Series;
};

struct StatisticsRequest {
  double From = -std::numeric_limits<double>::infinity();  // seconds; either bound may be infinite
  double To = std::numeric_limits<double>::infinity();
  std::vector<int> Channels;  // the per-channel rows, in this order
  double Threshold = 0;       // least height of a counted impact peak above the mean, g
  double Hysteresis = 0.02;   // impacts' and motions' dead band: this fraction (>= 0) of each channel's range
  double ExposureHours = 1;   // the exposure of the extremes' most probable largest peak (> 0)
};

// The channels of the motion amplitudes, in the order of WindowStatistics::Motions.
inline constexpr std::array<int, 2> kMotionChannels{kChHeight, kChPitch};

struct WindowStatistics {
  double From = 0, To = 0;        // as asked; an infinite bound is the first or last step time
  analysis::StepRange Window;     // the steps in [From, To], as step numbers (FirstStep based)
  // One entry per requested channel, in the request's order; values scaled by the vocabulary.
  std::vector<std::pair<int, analysis::Maybe<analysis::ChannelStatistics>>> Channels;
  analysis::Maybe<analysis::ImpactStatistics> Impacts;  // channel 2 in g
  analysis::Maybe<analysis::ExtremeValues> Extremes;    // of the counted impact peaks' heights, g
  std::vector<std::pair<int, analysis::Maybe<analysis::MotionStatistics>>> Motions;  // kMotionChannels
  analysis::Maybe<analysis::IsoFigures> Iso;  // channel 2 in m/s^2
};

// Every figure of the steps of `input` in [request.From, request.To]. Values are widened from
// single precision and multiplied by the channel's vocabulary factor (ISO 2631-1 takes channel 2
// in m/s^2). A figure whose channel is not in input.Series is Missing with the reason "channel N
// is not stored (the last channel is L)" when N > LastChannel, else "channel N is not held"; an
// empty window gives Missing figures (the analysis' reasons), never an exception. The ISO
// figures are computed on a second thread. Needs non-decreasing step times (the caller checks
// them, analysis::StepTimeProblem). Thread-safe for inputs nobody changes meanwhile.
WindowStatistics ComputeWindowStatistics(const StatisticsInput& input, const StatisticsRequest& request);

// The raw values of `channel` in input.Series, or nullptr when it has none.
const std::span<const float>* FindHeldValues(const StatisticsInput& input, int channel);
// Why `channel` has no values in `input`: "channel N is not stored (the last channel is L)" when
// N > LastChannel, else "channel N is not held".
std::string AbsentChannelReason(const StatisticsInput& input, int channel);

// An owned copy of the steps of [from, to] of `input` (the step times and every series), for a
// computation on another thread while the caller's arrays may change. View() is a StatisticsInput
// over the copy, numbered from the run's step of its first element, so that statistics of the
// view over [from, to] are those of `input`. A view stays valid while the snapshot lives, moved or not.
class StatisticsSnapshot {
public:
  StatisticsSnapshot(const StatisticsInput& input, double from, double to);
  StatisticsInput View() const;

private:
  std::vector<double> stepTimes_;
  std::size_t firstStep_ = 0;
  int lastChannel_ = -1;
  std::vector<std::pair<int, std::vector<float>>> series_;
};

}  // namespace hulvex
