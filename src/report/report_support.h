// What the reports of a run's window share: opening the run as `hulvex stats` and `hulvex spectrum`
// do (the history read once with only the channels asked for, and the checks that end such a
// command), and the number and line format of their CSV.
#pragma once

#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "run/loaded_run.h"

namespace hulvex {

// Opens the history of `given` holding `channels` and `extra` (sorted, each once). Throws Error
// when the run cannot be read, a channel of `channels` is not stored (those of `extra` may be
// missing) or the step times are out of order.
void OpenRunForWindow(LoadedRun& run, const std::string& given, const std::vector<int>& channels,
                      const std::vector<int>& extra, Diagnostics& diag);

// Throws Error "No step of RUN lies between FROM s and TO s (its steps run from ... s to ... s)"
// when `steps` is 0.
void CheckWindowHasSteps(const LoadedRun& run, std::size_t steps, double from, double to);

// A number at 9 significant digits, as the CSV columns and the messages give them.
std::string ReportNumber(double v);

// The fields as one CSV line ending with a newline; fields with commas, quotes or line breaks quoted.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace hulvex
