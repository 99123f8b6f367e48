// stats: per-channel statistics, impact peaks and their extremes, motion amplitudes and ISO 2631-1 ride quality of
// one run or many (report/statistics_report.h computes and writes them). Runs are computed in parallel, each on
// its own data; results are written in argument order.
#include <cmath>
#include <cstdio>
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
  double From = -kInf;
  double To = kInf;
  std::vector<int> Channels{kChHeight, kChAcceleration, kChPitch, kChSpeed};
  double Threshold = 0;
  double Hysteresis = 0.02;  // impacts' and motions' dead band, a fraction of each channel's range
  double ExposureHours = 1;  // of the extremes' most probable largest peak
  bool Csv = false;
  bool Timing = false;
};

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.9g", v);
  return buf;
}

int Stats(const StatsRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::size_t count = req.Runs.size();
  const bool oneLine = count > 1;
  if (req.Csv) out << StatisticsCsvHeader(req.Channels);
  const StatisticsRequest window{req.From, req.To, req.Channels, req.Threshold, req.Hysteresis, req.ExposureHours};

  bool failed = false;
  ComputeInParallel(
      count, [&](std::size_t i) { return StatisticsOfRunFile(req.Runs[i], window); },
      [&](std::size_t, const RunStatistics& o) {
        for (const std::string& m : o.Messages) diag.Message("stats-run", oneLine ? o.Run + ": " + m : m);
        if (!o.Figures) ReportError(err, o.Run + ": " + o.Error);
        out << (req.Csv ? StatisticsCsvRow(req.Channels, o) : StatisticsJson(o, oneLine, req.Timing));
        out.flush();
        failed = failed || !o.Figures;
      });
  return failed ? 1 : 0;
}

}  // namespace

void RegisterStatsCommand(Tool& tool) {
  auto req = std::make_shared<StatsRequest>();
  CLI::App* cmd = AddCommand(tool, "stats", "Seakeeping statistics of one or more runs, as JSON (Lines) or CSV", [=, &tool] {
    if (std::isnan(req->From) || std::isnan(req->To)) throw CLI::ValidationError("--from/--to", "not a number");
    if (req->From > req->To) throw CLI::ValidationError("--from", "is after --to");
    if (!(req->Hysteresis >= 0) || std::isinf(req->Hysteresis)) {
      throw CLI::ValidationError("--hysteresis", "must be a number of at least 0 (a fraction of each channel's range), not " +
                                                     Number(req->Hysteresis));
    }
    return CommandBody([=, &tool](std::istream&, std::ostream& out, Diagnostics& d) { return Stats(*req, out, d, *tool.errors); });
  });
  cmd->add_option("RUN", req->Runs, "The runs' .HVX files, or their paths without extension")->required();
  cmd->add_option("--from", req->From, "Start of the time window, s (default: the first step)");
  cmd->add_option("--to", req->To, "End of the time window, s (default: the last step)");
  cmd->add_option("--channels", req->Channels, "Channels for the per-channel statistics (default 0,2,3,7)")
      ->delimiter(',')
      ->check(CLI::Range(0, time_history_layout::kMaxChannels - 1));
  cmd->add_option("--threshold", req->Threshold, "Least height of a counted impact peak above the mean, g (default 0)")
      ->check(CLI::NonNegativeNumber);
  cmd->add_option("--hysteresis", req->Hysteresis,
                  "Dead band of impacts and motions about the mean, a fraction of each channel's range in the window: "
                  "a crossing needs a sample beyond mean +- fraction x (max - min) (default 0.02; 0: the mean itself)");
  cmd->add_option("--exposure", req->ExposureHours,
                  "Exposure for the most probable largest impact peak of the Extremes, hours (default 1)")
      ->check(CLI::PositiveNumber);
  CLI::Option* csv = cmd->add_flag("--csv", req->Csv, "One CSV row per run with the main figures instead of JSON");
  cmd->add_flag("--timing", req->Timing,
                "Add to each run's JSON a Timing object: HistoryPasses, the bytes read from its history over the "
                "history's size (1 is one pass)")
      ->excludes(csv);
}

}  // namespace hulvex::cli
