// compare: the statistics of several runs over the window they share, and each figure's
// difference from the first run (report/compare_report.h writes them). The window is chosen from
// each run's first and last step, peeked; then each run is opened and computed in one task on the
// worker threads, as `stats` does, and the figures are kept when the step times read span what was
// peeked (else every run is read again and computed over the window its step times give).
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
// a call is rethrown here (the first in order), after every thread has finished.
template <typename Result, typename Work>
std::vector<Result> InParallel(std::size_t count, const Work& work) {
  std::vector<Result> results;
  results.reserve(count);
  ComputeInParallel(count, work, [&](std::size_t, Result r) { results.push_back(std::move(r)); });
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

// How a run's open went: its messages, why it failed, and the span of the step times read
// (absent when the open failed or found no step).
struct OpenOutcome {
  std::string Run, Error;
  std::vector<std::string> Messages;
  bool Opened = false;
  std::optional<TimeSpan> Span;
};

OpenOutcome OutcomeOf(const OpenedRun& o) {
  OpenOutcome r{o.Run, o.Error, o.Messages, o.Loaded != nullptr, {}};
  if (o.Loaded && !o.StepTimes().empty()) r.Span = TimeSpan{o.StepTimes().front(), o.StepTimes().back()};
  return r;
}

// Passes every run's messages to `diag` and names each run that failed to open or holds no step on
// `err`, in order. True when no run failed.
bool ReportOpens(const std::vector<OpenOutcome>& runs, Diagnostics& diag, std::ostream& err) {
  bool ok = true;
  for (const OpenOutcome& o : runs) {
    for (const std::string& m : o.Messages) diag.Message("compare-run", o.Run + ": " + m);
    if (!o.Opened) {
      ReportError(err, o.Run + ": " + o.Error);
    } else if (!o.Span) {
      ReportError(err, o.Run + ": its history holds no step");
    } else {
      continue;
    }
    ok = false;
  }
  return ok;
}

// The runs' opens and, once the window is chosen, their figures over it.
struct Computed {
  std::vector<OpenOutcome> Opens;
  std::vector<RunStatistics> Figures;
  StatisticsRequest Window;
};

// Each run opened and computed over the window of the peeked spans in one task on the worker
// threads, as `stats` does, its series freed once its figures are computed. Nothing when a span
// cannot be peeked, the peeked spans give no window, or a run opened has step times that span other
// than was peeked (its file changed meanwhile): the window is then to be chosen from the step times
// read.
std::optional<Computed> ComputeOverPeekedWindow(const CompareRequest& req) {
  const std::optional<std::vector<TimeSpan>> peeked = PeekedSpans(req.Runs);
  if (!peeked) return std::nullopt;
  Computed c{{}, {}, req.Window};
  try {
    std::tie(c.Window.From, c.Window.To) = ChooseWindow(req.Runs, *peeked, req.Window.From, req.Window.To);
  } catch (const Error&) {
    return std::nullopt;  // the runs' own failures, if any, are to be reported first
  }
  auto both = InParallel<std::pair<OpenOutcome, RunStatistics>>(req.Runs.size(), [&](std::size_t i) {
    const OpenedRun o = OpenRunForStatistics(req.Runs[i], c.Window.Channels);
    return std::pair{OutcomeOf(o), StatisticsOfOpenedRun(o, c.Window)};
  });
  for (std::size_t i = 0; i < both.size(); ++i) {
    const OpenOutcome& o = both[i].first;
    const TimeSpan& p = (*peeked)[i];
    if (o.Opened && !(o.Span && o.Span->First == p.First && o.Span->Last == p.Last)) return std::nullopt;
    c.Opens.push_back(std::move(both[i].first));
    c.Figures.push_back(std::move(both[i].second));
  }
  return c;
}

int Compare(const CompareRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = req.Runs.size();
  std::optional<Computed> computed = ComputeOverPeekedWindow(req);
  // Without it every run is opened and held, and the window chosen from the step times read.
  std::vector<OpenedRun> held;
  if (!computed) {
    held = InParallel<OpenedRun>(count, [&](std::size_t i) { return OpenRunForStatistics(req.Runs[i], req.Window.Channels); });
    computed = Computed{{}, {}, req.Window};
    for (const OpenedRun& o : held) computed->Opens.push_back(OutcomeOf(o));
  }
  if (!ReportOpens(computed->Opens, diag, err)) return 1;
  StatisticsRequest& window = computed->Window;
  if (!held.empty()) {
    std::vector<TimeSpan> spans;
    for (const OpenOutcome& o : computed->Opens) spans.push_back(*o.Span);
    std::tie(window.From, window.To) = ChooseWindow(req.Runs, spans, req.Window.From, req.Window.To);
    computed->Figures = InParallel<RunStatistics>(count, [&](std::size_t i) { return StatisticsOfOpenedRun(held[i], window); });
  }

  Comparison c{window.Channels, window.From, window.To, std::move(computed->Figures), {}};
  bool failed = false;
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
