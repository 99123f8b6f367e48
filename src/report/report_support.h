// What the reports of a run's window share: opening the run as `hulvex stats` and `hulvex spectrum`
// do (the history read once with only the channels asked for, and the checks that end such a
// command), and the number and line format of their CSV.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <future>
#include <string>
#include <thread>
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

// Starts a thread per core, at most `count`, that call work(i) for every i in [0, count) once,
// taking the next i as each call ends. `work` must not throw; what it refers to must outlive the
// threads, which join when the returned vector is destroyed.
std::vector<std::jthread> StartWorkers(std::size_t count, std::function<void(std::size_t)> work);

// Computes compute(i), i = 0 ... count - 1, on worker threads (one per core, at most count; each
// takes the next i) and passes each result to consume(i, result) on the calling thread in order of
// i, each as soon as it and those before it are done. An exception of compute(i) is rethrown by
// this function when result i is due.
template <typename Compute, typename Consume>
void ComputeInParallel(std::size_t count, const Compute& compute, const Consume& consume) {
  using Result = decltype(compute(std::size_t{}));
  std::vector<std::promise<Result>> promises(count);
  std::vector<std::future<Result>> outcomes;
  for (auto& p : promises) outcomes.push_back(p.get_future());
  // Declared after the promises: the threads join before the promises go, also on an exception.
  const std::vector<std::jthread> workers = StartWorkers(count, [&](std::size_t i) {
    try {
      promises[i].set_value(compute(i));
    } catch (...) {
      promises[i].set_exception(std::current_exception());
    }
  });
  for (std::size_t i = 0; i < count; ++i) consume(i, outcomes[i].get());
}

// compute(i) for i in [0, count) as ComputeInParallel computes them; the results in order.
template <typename Result, typename Compute>
std::vector<Result> InParallel(std::size_t count, const Compute& compute) {
  std::vector<Result> results;
  results.reserve(count);
  ComputeInParallel(count, compute, [&](std::size_t, Result r) { results.push_back(std::move(r)); });
  return results;
}

}  // namespace hulvex
