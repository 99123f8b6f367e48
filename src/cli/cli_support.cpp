#include "cli/cli_support.h"

#include <filesystem>
#include <istream>
#include <system_error>
#include <ostream>

#include "common/error.h"
#include "common/file_lookup.h"

namespace hulvex::cli {

void StreamDiagnostics::Message(const std::string& text) { err_ << "message: " << text << "\n"; }

int RunTool(int argc, const char* const* argv, std::istream& in, std::ostream& out, std::ostream& err) {
  Tool tool;
  tool.app.set_version_flag("--version", std::string("hulvex ") + HULVEX_VERSION, "Print the version and exit");
  tool.app.require_subcommand(1);
  RegisterRunCommands(tool);
  RegisterDemoCommand(tool);
  RegisterSeaCommands(tool);
  RegisterHullCommands(tool);
  RegisterOpenCommand(tool);
  RegisterVideoCommands(tool);

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
    err << "error: " << e.what() << "\n";
  }
  return 1;
}

CLI::App* AddCommand(Tool& tool, const std::string& name, const std::string& description,
                     std::function<CommandBody()> make) {
  CLI::App* sub = tool.app.add_subcommand(name, description);
  sub->callback([&tool, make = std::move(make)] { tool.chosen = make(); });
  return sub;
}

void OpenRunHistory(LoadedRun& run, const std::string& given, Diagnostics& diag) {
  CloseRun(run);
  run.RunPath = RunPathOf(given);
  run.Params = ReadRunParameters(run.RunPath);
  switch (OpenTimeHistory(run.History, run.RunPath, run.Params.SpeedSpecified, diag)) {
    case HistoryOpenResult::Opened: return;
    case HistoryOpenResult::Missing: throw Error("Missing KVR file: " + run.RunPath + ".TTS");
    case HistoryOpenResult::Refused: throw Error("The time history of " + run.RunPath + " cannot be read");
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

void WriteRunParametersJson(JsonWriter& j, const RunParameters& p) {
  j.BeginObject();
  j.Key("FmtVer").Integer(p.FmtVer);
  j.Key("DOFMode").Integer(p.DOFMode);
  j.Key("DOFModeName").String(ModeName(p.DOFMode));
  j.Key("SpeedSpecified").Bool(p.SpeedSpecified);
  j.Key("BoatFile").Text8(p.BoatFile);
  j.Key("WindV").Number(p.WindV);
  j.Key("WvHHS").Number(p.WvHHS);
  j.Key("WvSteep").Number(p.WvSteep);
  j.Key("HeadSea").Bool(p.HeadSea);
  j.Key("TankT").Bool(p.TankT);
  j.Key("Waves").Integer(p.Waves);
  j.Key("WavesName").String(SeaKindName(p.Waves));
  j.Key("StokesN").Integer(p.StokesN);
  j.Key("Tmax").Number(p.Tmax);
  j.Key("RWvN").Integer(p.RWvN);
  j.Key("DetailSp").Integer(p.DetailSp);
  j.Key("DetailStrt").Number(p.DetailStrt);
  j.Key("DetailStop").Number(p.DetailStop);
  j.Key("HyAeroCD").Number(p.HyAeroCD);
  j.Key("HyAeroCL").Number(p.HyAeroCL);
  j.Key("HyDens").Number(p.HyDens);
  j.Key("CBAR").Number(p.CBAR);
  j.Key("DTdeg06").Number(p.DTdeg06);
  j.Key("HyNu").Number(p.HyNu);
  j.Key("RWvTdelay").Number(p.RWvTdelay);
  j.Key("ICZG").Number(p.ICZG);
  j.Key("ICZG1").Number(p.ICZG1);
  j.Key("ICT").Number(p.ICT);
  j.Key("ICT1").Number(p.ICT1);
  j.Key("ICV").Number(p.ICV);
  j.Key("ThrustCount").Integer(p.ThrustCount);
  j.Key("ThrustTbl").BeginArray();
  for (const auto& t : p.ThrustTbl) j.BeginObject().Key("Value").Number(t.Value).Key("Time").Number(t.Time).EndObject();
  j.EndArray();
  j.Key("BLTbl").BeginArray();
  for (const auto& b : p.BLTbl) j.BeginObject().Key("Angle").Number(b.Angle).Key("Speed").Number(b.Speed).EndObject();
  j.EndArray();
  j.Key("StationCount").Integer(p.StationCount);
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
  j.Key("RecordsPerStep").Integer(h.RecordsPerStep);
  j.Key("StepsIndexed").Integer(h.StepCount());
  j.EndObject();
}

}  // namespace hulvex::cli
