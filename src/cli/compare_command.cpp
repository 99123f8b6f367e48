// compare: the statistics of several runs over the window they share, and each figure's
// difference from the first run (report/compare_report.h writes them). The window is chosen from
// each run's first and last step, peeked; then each run is opened and computed in one task on the
// worker threads, as `stats` does, and the figures are kept when the step times read span what was
// peeked (else computed again over the window the step times read give).
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/cli_support.h"
#include "common/error.h"
#include "common/file_lookup.h"
#include "common/number_format.h"
#include "report/compare_report.h"
#include "report/statistics_report.h"
#include "runfiles/time_history.h"

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
// run covers (spans[i] that of runs[i]). Throws Error when that span is needed and empty, or the
// window is empty.
std::pair<double, double> ChooseWindow(const std::vector<std::string>& runs, const std::vector<TimeSpan>& spans,
                                       double from, double to) {
  const std::optional<TimeSpan> common = CommonSpan(spans);
  if (std::isinf(from) || std::isinf(to)) {
    if (!common) {
      const auto latestStart = std::max_element(spans.begin(), spans.end(), [](auto& a, auto& b) { return a.First < b.First; });
      const auto earliestEnd = std::min_element(spans.begin(), spans.end(), [](auto& a, auto& b) { return a.Last < b.Last; });
      throw Error("The runs share no time: " + runs[static_cast<std::size_t>(latestStart - spans.begin())] +
                  " starts at " + FormatSeconds(latestStart->First) + ", after " +
                  runs[static_cast<std::size_t>(earliestEnd - spans.begin())] + " ends at " +
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

// The span of each run as its first and last step give it, read from those two steps alone;
// nothing when a run's span cannot be peeked.
std::optional<std::vector<TimeSpan>> PeekedSpans(const std::vector<std::string>& runs) {
  std::vector<TimeSpan> spans;
  for (const std::string& run : runs) {
    const auto span = PeekStepTimeSpan(RunPathOf(run));
    if (!span) return std::nullopt;
    spans.push_back({span->first, span->second});
  }
  return spans;
}

// The span of an opened run with at least one step.
TimeSpan SpanOf(const OpenedRun& run) { return {run.StepTimes().front(), run.StepTimes().back()}; }

// The runs opened and, when the window could be chosen from their peeked spans, computed: each
// run's open and figures in one task, as `stats` does them, so that the read of one run overlaps
// the computation of another. Figures is empty when the window is to be chosen from the step times
// read (a span could not be peeked, or the peeked spans give no window: the errors of the runs'
// opens then come before that of the window, as the step times read decide it).
struct OpenedAndComputed {
  std::vector<OpenedRun> Opened;
  std::vector<RunStatistics> Figures;
  std::vector<TimeSpan> Peeked;
  StatisticsRequest Window;
};

OpenedAndComputed OpenAndCompute(const CompareRequest& req) {
  const std::size_t count = req.Runs.size();
  OpenedAndComputed r{{}, {}, {}, req.Window};
  if (std::optional<std::vector<TimeSpan>> peeked = PeekedSpans(req.Runs)) {
    try {
      std::tie(r.Window.From, r.Window.To) = ChooseWindow(req.Runs, *peeked, req.Window.From, req.Window.To);
      r.Peeked = std::move(*peeked);
    } catch (const Error&) {
    }
  }
  if (r.Peeked.empty()) {
    r.Opened = InParallel<OpenedRun>(count, [&](std::size_t i) { return OpenRunForStatistics(req.Runs[i], req.Window.Channels); });
    return r;
  }
  auto both = InParallel<std::pair<OpenedRun, RunStatistics>>(count, [&](std::size_t i) {
    OpenedRun o = OpenRunForStatistics(req.Runs[i], r.Window.Channels);
    RunStatistics s = StatisticsOfOpenedRun(o, r.Window);
    return std::pair{std::move(o), std::move(s)};
  });
  for (auto& [o, s] : both) {
    r.Opened.push_back(std::move(o));
    r.Figures.push_back(std::move(s));
  }
  return r;
}

int Compare(const CompareRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = req.Runs.size();
  OpenedAndComputed runs = OpenAndCompute(req);
  const std::vector<OpenedRun>& opened = runs.Opened;
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

  // The figures stand when every run's step times span what was peeked; otherwise (no peek, or a
  // file that changed between the peek and the read) the window is chosen from the step times read.
  std::vector<TimeSpan> spans;
  for (const OpenedRun& o : opened) spans.push_back(SpanOf(o));
  const bool asPeeked = std::equal(spans.begin(), spans.end(), runs.Peeked.begin(), runs.Peeked.end(),
                                   [](const TimeSpan& a, const TimeSpan& b) { return a.First == b.First && a.Last == b.Last; });
  StatisticsRequest& window = runs.Window;
  if (!asPeeked) {
    std::tie(window.From, window.To) = ChooseWindow(req.Runs, spans, req.Window.From, req.Window.To);
    runs.Figures = InParallel<RunStatistics>(count, [&](std::size_t i) { return StatisticsOfOpenedRun(opened[i], window); });
  }
  Comparison c{window.Channels, window.From, window.To, std::move(runs.Figures), {}};
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
