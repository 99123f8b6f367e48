// The comparison of runs over one window: the figures compared, their differences from a
// reference run, the window the runs share, and the comparison written as JSON, CSV or a text
// table. The list of figures and the percent rule are defined here once, for `hulvex compare`
// and the viewer's Channels window.
#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "report/statistics_report.h"
#include "run/window_statistics.h"

namespace hulvex {

// One figure of one run against the reference run. Difference = Value - Reference; Percent =
// 100 * Difference / |Reference|. Each is absent when a value it needs is absent; Percent also
// when Reference is 0.
struct FigureDifference {
  std::string Run, Figure;  // the run as named; the figure's JSON path ("Channels[2].Rms")
  std::optional<double> Reference, Value, Difference, Percent;
};

// The figures compared for per-channel rows `channels`, by their path in the JSON object of
// StatisticsJson, the bracket holding the channel number: Channels[c].Mean, Min, Max, StdDev, Rms
// for each c in order; Impacts.PeakCount, PeaksPerMinute, A1_3, A1_10, A1_100, Largest;
// Motions[c].SignificantDoubleAmplitude for the motion channels (0 and 3); Iso2631.WeightedRms,
// Vdv, Mtvv.
std::vector<std::string> ComparedFigureNames(const std::vector<int>& channels);

// The value of `figure` (a name of ComparedFigureNames) in `w`; absent when `w` lacks it (a
// channel not among its rows, a block or figure that could not be computed, an unknown name).
std::optional<double> FigureValue(const WindowStatistics& w, const std::string& figure);

// 100 * (value - reference) / |reference|; absent when either is absent or reference is 0.
std::optional<double> PercentDifference(std::optional<double> reference, std::optional<double> value);

// For each run of `others` in order, and each figure of ComparedFigureNames(channels) in order,
// that figure of the run against the reference's. A run without figures gives absent values.
std::vector<FigureDifference> CompareFigures(const RunStatistics& reference, const std::vector<RunStatistics>& others,
                                             const std::vector<int>& channels);

// The times of a run's first and last step.
struct TimeSpan {
  double First = 0, Last = 0;
};

// The span every run covers: from the latest first step time to the earliest last step time.
// Absent when `spans` is empty or that span is empty (its start after its end); a span of one
// instant (start = end) is not empty.
std::optional<TimeSpan> CommonSpan(std::span<const TimeSpan> spans);

// A comparison as the writers take it: the runs' statistics over one window, the reference first.
struct Comparison {
  std::vector<int> Channels;        // the per-channel rows of every run's statistics
  double From = 0, To = 0;          // the window, seconds
  std::vector<RunStatistics> Runs;  // at least one; Runs[0] is the reference
  std::vector<FigureDifference> Differences;  // CompareFigures of Runs[1...] against Runs[0]
};

// {"Reference": RUN1, "From", "To", "Runs": [the StatisticsJson object of each run, in order],
// "Differences": [{"Run", "Figure", "Reference", "Value", "Difference", "Percent"}, ...]}, absent
// values as null.
std::string ComparisonJson(const Comparison& c);

// The header and one row per run of StatisticsCsvHeader/Row, then one row per further run whose
// Run cell is "Δ% RUN" and whose cells are the percent differences of the compared figures their
// columns show (9 significant digits), empty for every other column and for absent percents.
std::string ComparisonCsv(const Comparison& c);

// A plain-text table for a terminal: a title line naming the reference and the window, then a
// header and one row per compared figure; a column of values per run, then a "Δ% RUN" column per
// further run. Columns are aligned (counted in characters, not bytes): names left, numbers right;
// absent values are "n/a". Every line ends with a newline.
std::string ComparisonTable(const Comparison& c);

// The comparison of the run files `runs` (the reference first; at least one) over `window`: its
// rows, and its From and To, each an infinity to take that bound from the span every run covers.
// The window is chosen from each run's first and last step, peeked; each run is then opened and
// computed in one task on the worker threads, its series freed once its figures are computed. If a
// run's step times read span other than was peeked (its file changed meanwhile), every run is read
// again and the window chosen from the step times read. Each run's messages go to `diag` as "RUN:
// text"; each run that cannot be read, holds no step or cannot be computed goes to `failure` as
// "RUN: why", in order, and then the result is absent. Throws Error when the runs share no time
// ("The runs share no time: ...") or the window is empty.
std::optional<Comparison> CompareRunFiles(const std::vector<std::string>& runs, const StatisticsRequest& window,
                                          Diagnostics& diag, const std::function<void(const std::string&)>& failure);

}  // namespace hulvex
