#include "cli/cli_support.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <istream>
#include <ostream>
#include <utility>
#include <vector>

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/number_format.h"

namespace hulvex::cli {

void StreamDiagnostics::Report(const Diagnostic& d) { err_ << "message: " << d.Text << "\n"; }

int RunTool(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err) {
  Tool tool;
  tool.errors = &err;
  tool.app.set_version_flag("--version", std::string("hulvex ") + HULVEX_VERSION, "Print the version and exit");
  tool.app.require_subcommand(1);
  RegisterRunCommands(tool);
  RegisterDemoCommand(tool);
  RegisterSeaCommands(tool);
  RegisterHullCommands(tool);
  RegisterOpenCommand(tool);
  RegisterVideoCommands(tool);
  RegisterStatsCommand(tool);
  RegisterSpectrumCommand(tool);
  RegisterCompareCommand(tool);
  RegisterWatchCommand(tool);

  try {
    tool.app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return tool.app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return tool.app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return tool.app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    tool.app.exit(e, out, err);
    return 2;
  }

  StreamDiagnostics diag(err);
  try {
    return tool.chosen(in, out, diag);
  } catch (const std::exception& e) {
    ReportError(err, e.what());
  }
  return 1;
}

void ReportError(std::ostream& err, const std::string& text) { err << "error: " << text << "\n"; }

CLI::App* AddCommand(Tool& tool, const std::string& name, const std::string& description,
                     std::function<CommandBody()> make) {
  CLI::App* sub = tool.app.add_subcommand(name, description);
  sub->callback([&tool, make = std::move(make)] { tool.chosen = make(); });
  return sub;
}

void AddStatisticsWindowOptions(CLI::App& cmd, StatisticsRequest& request, const std::string& defaultFrom,
                                const std::string& defaultTo) {
  cmd.add_option("--from", request.From, "Start of the time window, s (default: " + defaultFrom + ")");
  cmd.add_option("--to", request.To, "End of the time window, s (default: " + defaultTo + ")");
  cmd.add_option("--threshold", request.Threshold, "Least height of a counted impact peak above the mean, g (default 0)")
      ->check(CLI::NonNegativeNumber);
  cmd.add_option("--hysteresis", request.Hysteresis,
                 "Dead band of impacts and motions about the mean, a fraction of each channel's range in the window: "
                 "a crossing needs a sample beyond mean +- fraction x (max - min) (default 0.02; 0: the mean itself)");
  cmd.add_option("--exposure", request.ExposureHours,
                 "Exposure for the most probable largest impact peak of the Extremes, hours (default 1)")
      ->check(CLI::PositiveNumber);
}

void CheckStatisticsWindowOptions(const StatisticsRequest& request) {
  if (std::isnan(request.From) || std::isnan(request.To)) throw CLI::ValidationError("--from/--to", "not a number");
  if (request.From > request.To) throw CLI::ValidationError("--from", "is after --to");
  if (!(request.Hysteresis >= 0) || std::isinf(request.Hysteresis)) {
    throw CLI::ValidationError("--hysteresis", "must be a number of at least 0 (a fraction of each channel's range), not " +
                                                   FormatSignificant(request.Hysteresis, 9));
  }
}

}  // namespace hulvex::cli
