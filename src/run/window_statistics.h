// The statistics of a window of steps of a run, computed once for the viewer and the CLI.
#pragma once

#include <cstddef>
#include <limits>
#include <span>
#include <utility>
#include <vector>

#include "analysis/iso2631.h"
#include "analysis/series.h"
#include "analysis/statistics.h"

namespace hulvex {

// The steps and raw stored values the statistics read: views, the caller keeps them alive.
struct StatisticsInput {
  std::span<const double> StepTimes;  // element i is step FirstStep + i
  std::size_t FirstStep = 0;
  int LastChannel = -1;  // the history's LastChannel (for the reasons of missing figures)
  std::vector<std::pair<int, std::span<const float>>> Series;  // raw values per channel
};

struct StatisticsRequest {
  double From = -std::numeric_limits<double>::infinity();
  double To = std::numeric_limits<double>::infinity();
  std::vector<int> Channels;  // the per-channel rows, in this order
  double Threshold = 0;       // impact threshold, g
};

struct WindowStatistics {
  double From = 0, To = 0;      // as asked; infinite bounds replaced by the first/last step time
  analysis::StepRange Window;   // the steps in [From, To], as step numbers
  std::vector<std::pair<int, analysis::Maybe<analysis::ChannelStatistics>>> Channels;
  analysis::Maybe<analysis::ImpactStatistics> Impacts;  // channel 2 in g
  std::vector<std::pair<int, analysis::Maybe<analysis::MotionStatistics>>> Motions;  // channels 0 and 3
  analysis::Maybe<analysis::IsoFigures> Iso;  // channel 2 in m/s^2
};

WindowStatistics ComputeWindowStatistics(const StatisticsInput& input, const StatisticsRequest& request);

// An owned copy of the steps of [from, to] of `input`, for a computation on another thread while
// the caller's arrays may change. View() is a StatisticsInput over the copy, numbered as the run.
class StatisticsSnapshot {
public:
  StatisticsSnapshot(const StatisticsInput& input, double from, double to);
  StatisticsInput View() const;

private:
  std::vector<double> times_;
  std::size_t firstStep_ = 0;
  int lastChannel_ = -1;
  std::vector<std::pair<int, std::vector<float>>> values_;
};

}  // namespace hulvex
