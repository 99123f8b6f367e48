// The statistics of a run as the tool, the viewer's saved files and the Python module give them:
// one run file opened and analysed over a window, and its figures written as JSON or as a CSV row.
// The JSON object and the CSV columns are defined here once.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "run/window_statistics.h"
#include "runfiles/time_history.h"

namespace hulvex {

class JsonWriter;
struct LoadedRun;

// The per-channel rows of the statistics and of a comparison when none are asked for: 0, 2, 3, 7.
inline std::vector<int> DefaultStatisticsChannels() { return {kChHeight, kChAcceleration, kChPitch, kChSpeed}; }

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
// its own files. With `partial` the run is opened as one still being written (the steps present,
// LoadedRun::Follow) instead of being cut at, or refused for, its header's LastStep.
RunStatistics StatisticsOfRunFile(const std::string& given, const StatisticsRequest& request, bool partial = false);

// The same in two parts, for callers that need every run's step times before choosing the window
// (`hulvex compare`): a run opened once, its history read in one pass and held, then its figures.
struct OpenedRun {
  std::string Run;                          // the run as the user named it
  std::shared_ptr<const LoadedRun> Loaded;  // the step times and series; null when the open failed
  std::string Error;                        // why the open failed; empty when it did not
  std::vector<std::string> Messages;        // from reading the run, in order
  // The step times (non-decreasing), empty when the open failed. A view into Loaded.
  std::span<const double> StepTimes() const;
};

// Opens `given` holding `channels` (and those the impacts and motions need) with the step times.
// Never throws for a fault of the run: a run that cannot be read, one of `channels` not stored or
// step times out of order give Loaded null and Error set. Thread-safe like StatisticsOfRunFile.
// `partial` as for StatisticsOfRunFile; the run is then open with Follow.
OpenedRun OpenRunForStatistics(const std::string& given, const std::vector<int>& channels, bool partial = false);

// Every figure of an opened run over [request.From, request.To]; request.Channels must be among
// the channels it was opened with. A failed open, or no step in the window, gives Figures empty
// and Error set. Thread-safe: reads the opened run only, which may be shared between calls.
// StatisticsOfRunFile(given, r) is StatisticsOfOpenedRun(OpenRunForStatistics(given, r.Channels), r).
RunStatistics StatisticsOfOpenedRun(const OpenedRun& opened, const StatisticsRequest& request);

// The figures as one JSON object: Run, From, To, Steps, Channels, Impacts, Extremes, Motions, Iso2631 (or
// Run and Error for a failed run), numbers in the shortest form that reads back exactly; a Timing
// object with HistoryPasses when `timing`. `oneLine`: the object on one line (JSON Lines).
std::string StatisticsJson(const RunStatistics& run, bool oneLine, bool timing);

// The object's Channels array alone (one object per channel of the request), written as the
// next value of `json`.
void WriteChannelsJson(JsonWriter& json, const WindowStatistics& figures);

// The same object written as the next value of `json` (inside an array or after a key).
void WriteStatisticsJson(JsonWriter& json, const RunStatistics& run, bool timing);

// The CSV header line and a run's row for the per-channel rows of `channels` (the request's
// order), each ending with a newline. Figures a run lacks are empty cells; a failed run's row
// holds its name and Error. Numbers at 9 significant digits; fields with commas or quotes quoted.
std::string StatisticsCsvHeader(const std::vector<int>& channels);
std::string StatisticsCsvRow(const std::vector<int>& channels, const RunStatistics& run);

// The same columns as a table: header names, and a run's cells (unquoted), for callers that lay
// rows out themselves.
std::vector<std::string> StatisticsCsvColumnNames(const std::vector<int>& channels);
std::vector<std::string> StatisticsCsvCells(const std::vector<int>& channels, const RunStatistics& run);

// For each column, the JSON path of the figure it shows in the object of StatisticsJson, with
// the channel number in brackets ("From", "Channels[7].Max", "Impacts.A1_3",
// "Motions[3].Cycles", "Iso2631.Vdv"); empty for Run and Error.
std::vector<std::string> StatisticsCsvColumnFigures(const std::vector<int>& channels);


}  // namespace hulvex
