#include "cli/cli_support.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <memory>
#include <istream>
#include <ostream>
#include <system_error>
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

std::string ProgramDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

void SetDataDirectories(LoadedRun& run, const std::string& dataDir) {
  const std::string programDir = ProgramDirectory();
  run.DataDir = dataDir.empty() ? programDir : dataDir;
  run.SharedDataDir = SharedDataDirectory(programDir);
}

void OpenWholeRun(LoadedRun& run, const std::string& given, const std::string& dataDir, Diagnostics& diag) {
  SetDataDirectories(run, dataDir);
  const std::string runPath = RunPathOf(given);
  switch (OpenRun(run, runPath, diag)) {
    case RunOpenResult::Loaded: return;
    case RunOpenResult::HistoryMissing: throw Error("Missing KVR file: " + runPath + ".TTS");
    case RunOpenResult::HistoryRefused: throw Error("The time history of " + runPath + " cannot be read");
  }
}

namespace {

void WriteValue(JsonWriter& j, std::uint8_t v) { j.Integer(v); }
void WriteValue(JsonWriter& j, bool v) { j.Bool(v); }
void WriteValue(JsonWriter& j, std::int16_t v) { j.Integer(v); }
void WriteValue(JsonWriter& j, std::int32_t v) { j.Integer(v); }
void WriteValue(JsonWriter& j, float v) { j.Number(v); }
void WriteValue(JsonWriter& j, const std::string& v) { j.Text8(v); }
template <typename Point, std::size_t N>
void WriteValue(JsonWriter& j, const std::array<Point, N>& slots) {
  j.BeginArray();
  for (const Point& slot : slots) {
    j.BeginObject();
    for (const auto& value : SlotValues(slot)) j.Key(value.Name).Number(slot.*value.Member);
    j.EndObject();
  }
  j.EndArray();
}

template <typename T>
bool Is(const RunParameterField& f, T RunParameters::*member) {
  const auto* held = std::get_if<T RunParameters::*>(&f.Member);
  return held && *held == member;
}

}  // namespace

void WriteRunParametersJson(JsonWriter& j, const RunParameters& p) {
  j.BeginObject();
  for (const RunParameterField& f : RunParameterFields()) {
    j.Key(f.Name);
    std::visit([&](auto member) { WriteValue(j, p.*member); }, f.Member);
    // The names of the coded values follow their codes.
    if (Is(f, &RunParameters::DOFMode)) {
      j.Key("DOFModeName").String(ModeName(p.DOFMode));
      j.Key("SpeedSpecified").Bool(p.SpeedSpecified);
    }
    if (Is(f, &RunParameters::Waves)) j.Key("WavesName").String(SeaKindName(p.Waves));
  }
  j.EndObject();
}

void WriteHistoryHeaderJson(JsonWriter& j, const TimeHistory& h) {
  j.BeginObject();
  j.Key("Magic").Integer(h.Header.Magic);
  j.Key("LastChannel").Integer(h.Header.LastChannel);
  j.Key("StartTime").Number(h.Header.StartTime);
  j.Key("EndTime").Number(h.Header.EndTime);
  j.Key("HeaderText").Text8(h.Header.HeaderText);
  j.Key("LastStep").Integer(h.Header.LastStep);
  j.Key("StepsInFile").Integer(WholeStepsInFile(h.Header, h.File.CurrentSize()));
  j.Key("RecordsPerStep").Integer(h.RecordsPerStep);
  j.Key("StepsIndexed").Integer(h.StepCount());
  j.EndObject();
}

}  // namespace hulvex::cli
