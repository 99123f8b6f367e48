// What the reports of a run's window share: opening the run as `hulvex stats` and `hulvex spectrum`
// do (the history read once with only the channels asked for, and the checks that end such a
// command), and the number and line format of their CSV.
#pragma once

#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "common/diagnostics.h"
#include "report/json_writer.h"
#include "run/loaded_run.h"

namespace hulvex {

// Opens the history of `given` holding `channels` and `extra` (sorted, each once). Throws Error
// when the run cannot be read, a channel of `channels` is not stored (those of `extra` may be
// missing) or the step times are out of order. `follow`: the run is opened with Follow (the steps
// present of a run still being written).
void OpenRunForWindow(LoadedRun& run, const std::string& given, const std::vector<int>& channels,
                      const std::vector<int>& extra, Diagnostics& diag, bool follow = false);

// Throws Error "No step of RUN lies between FROM s and TO s (its steps run from ... s to ... s)"
// when `steps` is 0.
void CheckWindowHasSteps(const LoadedRun& run, std::size_t steps, double from, double to);

// A report of the run `given` (a struct with Run, Figures (an optional), Error and Messages):
// compute(diag, report) fills its Figures; an exception it throws leaves Figures empty and its
// text in Error. The messages of `diag` go into Messages, in order.
template <typename Report, typename Compute>
Report ReportOfRun(const std::string& given, const Compute& compute) {
  Report out;
  out.Run = given;
  CollectingDiagnostics diag;
  try {
    compute(diag, out);
  } catch (const std::exception& e) {
    out.Figures.reset();
    out.Error = e.what();
  }
  out.Messages = std::move(diag.messages);
  return out;
}

// Begins a run's JSON object with Run, From and To; for a failed run (no figures) Run and Error,
// and closes the object. Returns whether the object is open.
template <typename Report>
bool BeginRunJson(JsonWriter& j, const Report& report) {
  j.BeginObject();
  j.Key("Run").String(report.Run);
  if (!report.Figures) {
    j.Key("Error").String(report.Error);
    j.EndObject();
    return false;
  }
  j.Key("From").Number(report.Figures->From);
  j.Key("To").Number(report.Figures->To);
  return true;
}

// A number at 9 significant digits, as the CSV columns and the messages give them.
std::string ReportNumber(double v);

// The fields as one CSV line ending with a newline; fields with commas, quotes or line breaks quoted.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace hulvex
