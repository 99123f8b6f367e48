#include "run/loaded_run.h"

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/mapped_file.h"
#include "common/text_encoding.h"

namespace hulvex {

void CloseRun(LoadedRun& run) { CloseTimeHistory(run.History); }

void LoadCaseDescription(LoadedRun& run) {
  run.Description.clear();
  const std::string path = SiblingPath(run.RunPath, ".TXT");
  const auto bytes = ReadWholeFile(path);
  if (!bytes) throw Error("Cannot open file " + path);
  run.Description = DecodeTextFile(*bytes);
}

RunOpenResult OpenRun(LoadedRun& run, const std::string& runPath, Diagnostics& diag) {
  CloseRun(run);
  run.RunPath = runPath;
  run.Params = ReadRunParameters(runPath);
  const HistoryOpenResult history = OpenTimeHistory(run.History, runPath, run.Params.SpeedSpecified, diag);
  try {
    LoadCaseDescription(run);
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
