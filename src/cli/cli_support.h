// What every subcommand of the command-line tool shares: messages on stderr, opening runs,
// writing records as JSON.
#pragma once

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "report/json_writer.h"
#include "report/report_support.h"
#include "report/run_info_report.h"
#include "report/statistics_report.h"
#include "common/diagnostics.h"
#include "run/loaded_run.h"
#include "run/window_statistics.h"

namespace hulvex::cli {

// Prints every message as "message: TEXT" on its stream (stderr for the tool).
class StreamDiagnostics : public Diagnostics {
public:
  explicit StreamDiagnostics(std::ostream& err) : err_(err) {}
  void Report(const Diagnostic& d) override;

private:
  std::ostream& err_;
};

// Runs the tool on its arguments (argv[0] is the program name): input from `in`, results on `out`,
// messages and errors on `err`. Returns the exit code: 0 success, 1 the command failed, 2 bad usage.
int RunTool(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err);

// The body of a subcommand: reads `in` if it takes input, writes its result to `out`, messages to
// `diag`, returns the exit code. Throws hulvex::Error for a failure that ends the command
// (reported as "error: TEXT").
using CommandBody = std::function<int(std::istream& in, std::ostream& out, Diagnostics& diag)>;

// The tool: its argument parser and the body of the subcommand the parse chose.
struct Tool {
  CLI::App app{"hulvex: inspect, export and render HULVEX runs", "hulvex"};
  CommandBody chosen;
  // The tool's error stream (set by RunTool), for a body that reports a failure and goes on.
  std::ostream* errors = nullptr;
};

// Writes "error: TEXT" on `err`, as the tool reports every failure.
void ReportError(std::ostream& err, const std::string& text);

// Adds a subcommand; when the parse chooses it, `make` builds its body from the parsed options
// and stores it in tool.chosen.
CLI::App* AddCommand(Tool& tool, const std::string& name, const std::string& description,
                     std::function<CommandBody()> make);

// Adds the options of a statistics window, stored into `request`: --from and --to (their help
// naming the defaults `defaultFrom` and `defaultTo`), --threshold and --hysteresis. `request` must
// outlive the parse.
void AddStatisticsWindowOptions(CLI::App& cmd, StatisticsRequest& request, const std::string& defaultFrom,
                                const std::string& defaultTo);

// Throws CLI::ValidationError (bad usage) when --from or --to is not a number, --from is after
// --to, or --hysteresis is not a finite number of at least 0.
void CheckStatisticsWindowOptions(const StatisticsRequest& request);

// Registration of the subcommands, one function per group.
void RegisterRunCommands(Tool& tool);   // info, step, csv
void RegisterDemoCommand(Tool& tool);   // make-demo
void RegisterSeaCommands(Tool& tool);   // sea
void RegisterHullCommands(Tool& tool);  // boat, stations
void RegisterOpenCommand(Tool& tool);    // open
void RegisterVideoCommands(Tool& tool);  // frame, track, and render where the picture drawing is built
void RegisterStatsCommand(Tool& tool);   // stats
void RegisterSpectrumCommand(Tool& tool);  // spectrum
void RegisterCompareCommand(Tool& tool); // compare
void RegisterWatchCommand(Tool& tool);   // watch

}  // namespace hulvex::cli
