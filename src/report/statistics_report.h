// The statistics of a run as the tool, the viewer's saved files and the Python module give them:
// one run file opened and analysed over a window, and its figures written as JSON or as a CSV row.
// The JSON object and the CSV columns are defined here once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "run/window_statistics.h"

namespace hulvex {

// What one run gave: its figures, or the error that stopped it, and its messages.
struct RunStatistics {
  std::string Run;                          // the run as the user named it
  std::optional<WindowStatistics> Figures;  // absent when the run failed
  double HistoryPasses = 0;                 // the bytes read from the history over its size
  std::string Error;                        // why the run failed; empty when it did not
  std::vector<std::string> Messages;        // from reading the run, in order
};

// Opens `given` (the ".HVX" path, or the run path without extension), reading only the channels
// the request needs, and computes every figure over [request.From, request.To]. Never throws for
// a fault of the run: a run that cannot be read, a channel it does not store, step times out of
// order or no step in the window give Figures empty and Error set. Thread-safe: each call reads
// its own files.
RunStatistics StatisticsOfRunFile(const std::string& given, const StatisticsRequest& request);

// The figures as one JSON object: Run, From, To, Steps, Channels, Impacts, Extremes, Motions, Iso2631 (or
// Run and Error for a failed run), numbers in the shortest form that reads back exactly; a Timing
// object with HistoryPasses when `timing`. `oneLine`: the object on one line (JSON Lines).
std::string StatisticsJson(const RunStatistics& run, bool oneLine, bool timing);

// The CSV header line and a run's row for the per-channel rows of `channels` (the request's
// order), each ending with a newline. Figures a run lacks are empty cells; a failed run's row
// holds its name and Error. Numbers at 9 significant digits; fields with commas or quotes quoted.
std::string StatisticsCsvHeader(const std::vector<int>& channels);
std::string StatisticsCsvRow(const std::vector<int>& channels, const RunStatistics& run);

// The same columns as a table: header names, and a run's cells (unquoted), for callers that lay
// rows out themselves.
std::vector<std::string> StatisticsCsvColumnNames(const std::vector<int>& channels);
std::vector<std::string> StatisticsCsvCells(const std::vector<int>& channels, const RunStatistics& run);

}  // namespace hulvex
