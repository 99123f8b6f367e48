// compare: the statistics of several runs over the window they share, and each figure's
// difference from the first run, as report/compare_report.h computes and writes them.
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_support.h"
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

int Compare(const CompareRequest& req, std::ostream& out, Diagnostics& diag, std::ostream& err) {
  const std::optional<Comparison> c =
      CompareRunFiles(req.Runs, req.Window, diag, [&](const std::string& failure) { ReportError(err, failure); });
  if (!c) return 1;
  out << (req.Json ? ComparisonJson(*c) : req.Csv ? ComparisonCsv(*c) : ComparisonTable(*c));
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
