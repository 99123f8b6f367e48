#include "report/report_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>

#include "analysis/series.h"
#include "common/error.h"

namespace hulvex {

std::string ReportNumber(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

void OpenRunForWindow(LoadedRun& run, const std::string& given, const std::vector<int>& channels,
                      const std::vector<int>& extra, Diagnostics& diag, bool follow) {
  run.Follow = follow;
  run.HeldChannels = channels;
  run.HeldChannels.insert(run.HeldChannels.end(), extra.begin(), extra.end());
  std::sort(run.HeldChannels.begin(), run.HeldChannels.end());
  run.HeldChannels.erase(std::unique(run.HeldChannels.begin(), run.HeldChannels.end()), run.HeldChannels.end());
  OpenRunHistory(run, given, diag);
  const TimeHistory& h = run.History;
  const int last = h.Header.LastChannel;
  for (int c : channels) {
    if (c > last) {
      throw Error("Channel " + std::to_string(c) + " is not stored: the last channel of " + run.RunPath + " is " +
                  std::to_string(last));
    }
  }
  if (std::string problem = analysis::StepTimeProblem(h.StepTimes); !problem.empty()) {
    throw Error("The step times of " + run.RunPath + " are out of order: " + problem);
  }
}

void CheckWindowHasSteps(const LoadedRun& run, std::size_t steps, double from, double to) {
  if (steps > 0) return;
  const std::vector<double>& t = run.History.StepTimes;
  if (t.empty()) throw Error(run.RunPath + " has no step");
  throw Error("No step of " + run.RunPath + " lies between " + ReportNumber(from) + " s and " + ReportNumber(to) +
              " s (its steps run from " + ReportNumber(t.front()) + " s to " + ReportNumber(t.back()) + " s)");
}

namespace {
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char ch : text) {
    if (ch == '"') q += '"';
    q += ch;
  }
  return q + '"';
}

}  // namespace

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line + '\n';
}

std::vector<std::jthread> StartWorkers(std::size_t count, std::function<void(std::size_t)> work) {
  auto next = std::make_shared<std::atomic<std::size_t>>(0);
  auto shared = std::make_shared<const std::function<void(std::size_t)>>(std::move(work));
  const std::size_t threads = std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::jthread> workers;
  for (std::size_t t = 0; t < threads; ++t) {
    workers.emplace_back([next, shared, count] {
      for (std::size_t i; (i = next->fetch_add(1)) < count;) (*shared)(i);
    });
  }
  return workers;
}

}  // namespace hulvex
