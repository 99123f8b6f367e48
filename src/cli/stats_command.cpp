// stats: per-channel statistics, impact peaks and their extremes, motion amplitudes and ISO 2631-1 ride quality of
// one run or many (report/statistics_report.h computes and writes them). Runs are computed in parallel, each on
// its own data; results are written in argument order.
#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

#include "cli/cli_support.h"
#include "common/error.h"
#include "report/statistics_report.h"
#include "run/window_statistics.h"

namespace hulvex::cli {
namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();

struct StatsRequest {
  std::vector<std::string> Runs;
  StatisticsRequest Window{-kInf, kInf, DefaultStatisticsChannels()};
  bool Csv = false;
  bool Timing = false;
  bool Partial = false;
};

int Stats(const StatsRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = req.Runs.size();
  const bool oneLine = count > 1;
  const StatisticsRequest& window = req.Window;
  if (req.Csv) out << StatisticsCsvHeader(window.Channels);

  bool failed = false;
  ComputeInParallel(
      count, [&](std::size_t i) { return StatisticsOfRunFile(req.Runs[i], window, req.Partial); },
      [&](std::size_t, const RunStatistics& o) {
        for (const std::string& m : o.Messages) diag.Message("stats-run", oneLine ? o.Run + ": " + m : m);
        if (!o.Figures) ReportError(err, o.Run + ": " + o.Error);
        out << (req.Csv ? StatisticsCsvRow(window.Channels, o) : StatisticsJson(o, oneLine, req.Timing));
        out.flush();
        failed = failed || !o.Figures;
      });
  return failed ? 1 : 0;
}

}  // namespace

void RegisterStatsCommand(Tool& tool) {
  auto req = std::make_shared<StatsRequest>();
  CLI::App* cmd = AddCommand(tool, "stats", "Seakeeping statistics of one or more runs, as JSON (Lines) or CSV", [=, &tool] {
    CheckStatisticsWindowOptions(req->Window);
    return CommandBody([=, &tool](std::istream&, std::ostream& out, Diagnostics& d) { return Stats(*req, out, d, *tool.errors); });
  });
  cmd->add_option("RUN", req->Runs, "The runs' .HVX files, or their paths without extension")->required();
  AddStatisticsWindowOptions(*cmd, req->Window, "the first step", "the last step");
  cmd->add_option("--channels", req->Window.Channels, "Channels for the per-channel statistics (default 0,2,3,7)")
      ->delimiter(',')
      ->check(CLI::Range(0, time_history_layout::kMaxChannels - 1));
  cmd->add_flag("--partial", req->Partial,
                "Analyse the steps present of a run still being written (every whole step up to the header's "
                "LastStep) instead of refusing it or reporting it truncated");
  CLI::Option* csv = cmd->add_flag("--csv", req->Csv, "One CSV row per run with the main figures instead of JSON");
  cmd->add_flag("--timing", req->Timing,
                "Add to each run's JSON a Timing object: HistoryPasses, the bytes read from its history over the "
                "history's size (1 is one pass)")
      ->excludes(csv);
}

}  // namespace hulvex::cli
