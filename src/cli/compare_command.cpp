// compare: the statistics of several runs over the window they share, and each figure's
// difference from the first run (report/compare_report.h writes them). Each history is read once,
// on worker threads; the window is chosen from the step times read, then the runs' figures are
// computed on worker threads.
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_support.h"
#include "common/error.h"
#include "common/number_format.h"
#include "report/compare_report.h"
#include "report/statistics_report.h"

namespace hulvex::cli {
namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();

struct CompareRequest {
  std::vector<std::string> Runs;  // the reference first
  StatisticsRequest Window{-kInf, kInf, DefaultStatisticsChannels()};
  bool Json = false;
  bool Csv = false;
};

// work(i) for i in [0, count) on up to one thread per core; the results in order. An exception of
// a call is rethrown here after every thread has finished.
template <typename Result, typename Work>
std::vector<Result> InParallel(std::size_t count, const Work& work) {
  std::vector<Result> results(count);
  std::vector<std::exception_ptr> failures(count);
  StartWorkers(count, [&](std::size_t i) {
    try {
      results[i] = work(i);
    } catch (...) {
      failures[i] = std::current_exception();
    }
  });  // the threads join here
  for (const std::exception_ptr& f : failures) {
    if (f) std::rethrow_exception(f);
  }
  return results;
}

// The window of the comparison: the bounds given, each bound not given taken from the span every
// run covers. Throws Error when that span is needed and empty, or the window is empty.
std::pair<double, double> ChooseWindow(const std::vector<OpenedRun>& runs, double from, double to) {
  std::vector<TimeSpan> spans;
  for (const OpenedRun& r : runs) spans.push_back({r.StepTimes().front(), r.StepTimes().back()});
  const std::optional<TimeSpan> common = CommonSpan(spans);
  if (std::isinf(from) || std::isinf(to)) {
    if (!common) {
      const auto latestStart = std::max_element(spans.begin(), spans.end(), [](auto& a, auto& b) { return a.First < b.First; });
      const auto earliestEnd = std::min_element(spans.begin(), spans.end(), [](auto& a, auto& b) { return a.Last < b.Last; });
      throw Error("The runs share no time: " + runs[static_cast<std::size_t>(latestStart - spans.begin())].Run +
                  " starts at " + FormatSeconds(latestStart->First) + ", after " +
                  runs[static_cast<std::size_t>(earliestEnd - spans.begin())].Run + " ends at " +
                  FormatSeconds(earliestEnd->Last));
    }
    if (std::isinf(from)) from = common->First;
    if (std::isinf(to)) to = common->Last;
  }
  if (from > to) {
    throw Error("The window from " + FormatSeconds(from) + " to " + FormatSeconds(to) + " is empty (the runs share " +
                (common ? FormatSeconds(common->First) + " to " + FormatSeconds(common->Last) : std::string("no time")) + ")");
  }
  return {from, to};
}

int Compare(const CompareRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = req.Runs.size();
  const std::vector<OpenedRun> opened =
      InParallel<OpenedRun>(count, [&](std::size_t i) { return OpenRunForStatistics(req.Runs[i], req.Window.Channels); });
  bool failed = false;
  for (const OpenedRun& o : opened) {
    for (const std::string& m : o.Messages) diag.Message("compare-run", o.Run + ": " + m);
    if (!o.Loaded) {
      ReportError(err, o.Run + ": " + o.Error);
    } else if (o.StepTimes().empty()) {
      ReportError(err, o.Run + ": its history holds no step");
    } else {
      continue;
    }
    failed = true;
  }
  if (failed) return 1;

  StatisticsRequest window = req.Window;
  std::tie(window.From, window.To) = ChooseWindow(opened, req.Window.From, req.Window.To);
  Comparison c{window.Channels, window.From, window.To,
               InParallel<RunStatistics>(count, [&](std::size_t i) { return StatisticsOfOpenedRun(opened[i], window); }),
               {}};
  for (const RunStatistics& r : c.Runs) {
    if (!r.Figures) ReportError(err, r.Run + ": " + r.Error);
    failed = failed || !r.Figures;
  }
  if (failed) return 1;
  c.Differences = CompareFigures(c.Runs.front(), {c.Runs.begin() + 1, c.Runs.end()}, c.Channels);
  out << (req.Json ? ComparisonJson(c) : req.Csv ? ComparisonCsv(c) : ComparisonTable(c));
  return 0;
}

}  // namespace

void RegisterCompareCommand(Tool& tool) {
  auto req = std::make_shared<CompareRequest>();
  CLI::App* cmd = AddCommand(
      tool, "compare",
      "Statistics of two or more runs over the time they share, and each figure's difference from the first run",
      [=, &tool] {
        CheckStatisticsWindowOptions(req->Window);
        if (req->Runs.size() < 2) throw CLI::ValidationError("RUN", "needs two runs or more: the reference and the others");
        return CommandBody([=, &tool](std::istream&, std::ostream& out, Diagnostics& d) { return Compare(*req, out, d, *tool.errors); });
      });
  cmd->add_option("RUN", req->Runs,
                  "The runs' .HVX files, or their paths without extension; the first is the reference the others are "
                  "compared with")
      ->required();
  AddStatisticsWindowOptions(*cmd, req->Window, "the latest first step of the runs", "the earliest last step of the runs");
  CLI::Option* json = cmd->add_flag(
      "--json", req->Json,
      "One JSON object: Reference, From, To, Runs (each run's object of hulvex stats over the window) and Differences "
      "(Run, Figure, Reference, Value, Difference = Value - Reference, Percent = 100 x Difference / |Reference|)");
  cmd->add_flag("--csv", req->Csv,
                "The CSV of hulvex stats for the runs over the window, then per further run a row \"Δ% RUN\" of the percent "
                "differences of the compared figures")
      ->excludes(json);
  cmd->footer(
      "Without --json or --csv: a table, one row per figure, one column per run, then a column of percent differences "
      "from the reference per further run. Figures: Channels[c].Mean, Min, Max, StdDev, Rms (c = 0, 2, 3, 7), "
      "Impacts.PeakCount, PeaksPerMinute, A1_3, A1_10, A1_100, Largest, Motions[0] and Motions[3]."
      "SignificantDoubleAmplitude, Iso2631.WeightedRms, Vdv, Mtvv. A run that cannot be read is named on stderr "
      "and the exit status is 1.");
}

}  // namespace hulvex::cli
