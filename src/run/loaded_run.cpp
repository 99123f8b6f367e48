#include "run/loaded_run.h"

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/file_reading.h"
#include "common/text_encoding.h"
#include "sea/sea_model.h"

#include <vector>

namespace hulvex {

void CloseRun(LoadedRun& run) {
  CloseTimeHistory(run.History);
  run.Hull.Drawable = false;
  run.Hull.NotDrawableReason = "the run is not loaded";
}

void LoadCaseDescription(LoadedRun& run) {
  run.Description.clear();
  const std::string path = SiblingPath(run.RunPath, ".TXT");
  const auto bytes = ReadWholeFile(path);
  if (!bytes) throw Error("Cannot open file " + path);
  run.Description = DecodeTextFile(*bytes);
}

RunOpenResult OpenRun(LoadedRun& run, const std::string& runPath, Diagnostics& diag, OpenObserver* observer) {
  auto done = [observer](const char* step) {
    if (observer) observer->StepDone(step);
  };
  CloseRun(run);
  run.Description.clear();  // nothing of the previous run's description survives a failed open
  run.RunPath = runPath;
  run.Params = ReadRunParameters(runPath);
  done("ReadRunParameters");
  const std::string runDir = DirectoryOf(runPath);
  const std::vector<std::string> dataDirs{run.DataDir, run.SharedDataDir};
  LoadBoat(run.Hull, run.Params, runDir, dataDirs, diag);
  done("LoadBoat");
  const HistoryOpenResult history = OpenTimeHistory(run.History, runPath, run.Params.SpeedSpecified, diag);
  done("OpenTimeHistory");
  try {
    try {
      LoadCaseDescription(run);
    } catch (const Error& e) {
      diag.Message(e.what());  // the run is still viewed, without its description
    }
    done("LoadCaseDescription");
    if (history == HistoryOpenResult::Opened) {
      PrepareLoadedHull(run.Hull, run.Params, runDir, dataDirs, diag);
      done("PrepareHull");
      run.Sea = SeaSetUp(run.Params, diag);
      done("SeaSetUp");
      BuildLoadedStations(run.Hull, run.Params, diag);
      done("BuildStationTable");
    }
  } catch (...) {
    CloseRun(run);  // a failed open leaves no half-loaded run behind
    throw;
  }
  if (history == HistoryOpenResult::Missing) {
    diag.Message("Missing KVR file");
    return RunOpenResult::HistoryMissing;
  }
  if (history == HistoryOpenResult::Refused) return RunOpenResult::HistoryRefused;
  return RunOpenResult::Loaded;
}

}  // namespace hulvex
