// info, step, csv: the run parameters, the history header and the stored steps.
#include <cstdio>
#include <ostream>

#include "cli/cli_support.h"
#include "common/error.h"

namespace hulvex::cli {
namespace {

int Info(const std::string& given, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenRunHistory(run, given, diag);
  JsonWriter j;
  j.BeginObject();
  j.Key("RunPath").String(run.RunPath);
  j.Key("RunParameters");
  WriteRunParametersJson(j, run.Params);
  j.Key("TimeHistory");
  WriteHistoryHeaderJson(j, run.History);
  j.EndObject();
  out << j.str();
  return 0;
}

int Step(const std::string& given, std::int32_t step, bool raw, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenRunHistory(run, given, diag);
  const StepValues v = ReadStep(run.History, step, !raw, diag);
  JsonWriter j;
  j.BeginObject();
  j.Key("Step").Integer(step);
  j.Key("StepTime").Number(v.StepTime);
  j.Key("Channels").BeginArray();
  for (int c = 0; c <= run.History.Header.LastChannel; ++c) j.Number(v.Channels[c]);
  j.EndArray();
  j.EndObject();
  out << j.str();
  return 0;
}

int Csv(const std::string& given, bool raw, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenRunHistory(run, given, diag);
  const int last = run.History.Header.LastChannel;
  out << "step,time";
  for (int c = 0; c <= last; ++c) out << ",ch" << c;
  out << "\n";
  char buf[48];
  std::string line;
  for (std::int32_t s = 0; s < run.History.StepCount(); ++s) {
    const StepValues v = ReadStep(run.History, s, !raw, diag);
    line = std::to_string(s);
    std::snprintf(buf, sizeof buf, ",%.17g", v.StepTime);
    line += buf;
    // Channel values are single precision: 9 significant digits give them back exactly.
    for (int c = 0; c <= last; ++c) {
      std::snprintf(buf, sizeof buf, ",%.9g", static_cast<double>(v.Channels[c]));
      line += buf;
    }
    line += '\n';
    out << line;
  }
  return 0;
}

}  // namespace

void RegisterRunCommands(Tool& tool) {
  auto run = std::make_shared<std::string>();
  auto step = std::make_shared<std::int32_t>(0);
  auto raw = std::make_shared<bool>(false);

  CLI::App* info = AddCommand(tool, "info", "Run parameters and time-history header as JSON", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Info(*run, out, d); });
  });
  info->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();

  CLI::App* stepCmd = AddCommand(tool, "step", "One step's time and channel values as JSON", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Step(*run, *step, *raw, out, d); });
  });
  stepCmd->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();
  stepCmd->add_option("N", *step, "Step number")->required();
  stepCmd->add_flag("--raw", *raw, "Stored values, without display conversion");

  CLI::App* csv = AddCommand(tool, "csv", "The whole time history as CSV", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Csv(*run, *raw, out, d); });
  });
  csv->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();
  csv->add_flag("--raw", *raw, "Stored values, without display conversion");
}

}  // namespace hulvex::cli
