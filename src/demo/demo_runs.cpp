#include "demo/demo_runs.h"

#include <cmath>
#include <filesystem>
#include <utility>
#include <vector>

#include "common/diagnostics.h"
#include "common/error.h"
#include "demo/boat_writer.h"
#include "demo/demo_motion.h"
#include "demo/demo_units.h"
#include "demo/run_writers.h"
#include "run/loaded_run.h"

namespace hulvex::demo {
namespace {

std::string Description(const DemoCase& demo) {
  std::string text = "Demonstration run " + demo.Name + "\r\n\r\n";
  // Wrap the summary at about 80 characters for the case description box.
  std::string line;
  std::size_t pos = 0;
  const std::string& s = demo.Summary;
  while (pos < s.size()) {
    std::size_t end = s.find(' ', pos);
    if (end == std::string::npos) end = s.size();
    const std::string word = s.substr(pos, end - pos);
    if (!line.empty() && line.size() + 1 + word.size() > 80) {
      text += line + "\r\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    pos = end + 1;
  }
  if (!line.empty()) text += line + "\r\n";
  text +=
      "\r\n"
      "The motion in this run (heave, pitch, speed and distance) comes from a simple\r\n"
      "demonstration model, not from a seakeeping simulation: heave and pitch follow the\r\n"
      "sea surface under the hull through a damped response with a planing boat's natural\r\n"
      "period, and the speed follows the run's schedule.\r\n";
  return text;
}

// Opens the run as the viewer does; any message, or a hull that cannot be drawn, is a fault of
// the generator.
void OpenQuietly(LoadedRun& run, const std::string& runPath, const std::string& dir) {
  run.DataDir = dir;
  CollectingDiagnostics diag;
  const RunOpenResult result = OpenRun(run, runPath, diag);
  if (result != RunOpenResult::Loaded || !diag.messages.empty() || !run.Hull.Drawable) {
    std::string why = diag.messages.empty() ? run.Hull.NotDrawableReason : diag.messages.front();
    throw Error("The demonstration run " + runPath + " does not open cleanly: " + why);
  }
}

}  // namespace

namespace {

// What a case's run is made of once its motion is computed.
struct PreparedRun {
  std::string RunPath;
  RunParameters Params;
  HistorySpec History;
  std::string Description;
};

// Writes the boat and spline files, computes the motion over a placeholder run (its ".TTS" one
// step long) and returns the run's files.
PreparedRun Prepare(const std::string& dir, const DemoCase& demo) {
  WriteBoatFile(dir + "/" + demo.BoatFileName, demo.Boat);
  if (demo.Spline) {
    std::string splineName = demo.Boat.BoatName;
    splineName.erase(splineName.find_last_not_of(' ') + 1);
    WriteSplineFile(dir + "/" + splineName, *demo.Spline);
  }
  const std::int32_t steps = static_cast<std::int32_t>(std::lround(demo.Params.Tmax / demo.Dt)) + 1;

  // First with a one-step history, to get the prepared hull and the sea as the viewer has them.
  HistorySpec placeholder;
  placeholder.Steps = 1;
  placeholder.EndTime = 0.0;
  PreparedRun prepared;
  prepared.Description = Description(demo);
  prepared.RunPath = WriteSampleRun(dir, demo.Name, demo.Params, placeholder, prepared.Description);
  LoadedRun run;
  OpenQuietly(run, prepared.RunPath, dir);

  CollectingDiagnostics modelDiag;
  const Motion motion = RunModel(ModelBoatOf(run), run.Params, run.Sea, demo.Dt, steps, modelDiag);
  CloseRun(run);
  if (!modelDiag.messages.empty())
    throw Error("The sea of demonstration run " + prepared.RunPath + " reported: " + modelDiag.messages.front());

  prepared.Params = demo.Params;
  prepared.Params.ICZG = motion.Zcg[0];
  prepared.Params.ICT = static_cast<float>(motion.Theta[0] / kDeg);
  prepared.History = HistoryOf(motion, demo.Dt);
  return prepared;
}

template <typename F>
auto AsError(F f) {
  try {
    return f();
  } catch (const Error&) {
    throw;
  } catch (const std::exception& e) {
    throw Error(e.what());
  }
}

}  // namespace

std::string WriteDemoRun(const std::string& dir, const DemoCase& demo) {
  return AsError([&] {
    const PreparedRun prepared = Prepare(dir, demo);
    WriteSampleRun(dir, demo.Name, prepared.Params, prepared.History, prepared.Description);
    LoadedRun run;
    OpenQuietly(run, prepared.RunPath, dir);
    CloseRun(run);
    return prepared.RunPath;
  });
}

GrowingDemoRun PrepareGrowingDemoRun(const std::string& dir, const DemoCase& demo) {
  return AsError([&] {
    PreparedRun prepared = Prepare(dir, demo);
    WriteRunParametersFile(prepared.RunPath + ".HVX", prepared.Params);
    WriteTextFile(prepared.RunPath + ".TXT", prepared.Description);
    return GrowingDemoRun{prepared.RunPath, std::move(prepared.History)};
  });
}

const DemoCase* FindDemoCase(const std::vector<DemoCase>& cases, const std::string& name) {
  for (const DemoCase& c : cases)
    if (c.Name == name) return &c;
  return nullptr;
}

std::vector<std::string> WriteDemoRuns(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) throw Error("Cannot create directory " + dir + ": " + ec.message());
  std::vector<std::string> paths;
  for (const DemoCase& demo : DemoCases()) paths.push_back(WriteDemoRun(dir, demo));
  return paths;
}

}  // namespace hulvex::demo
