#include "run/loaded_run.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/error.h"
#include "common/file_lookup.h"
#include "common/file_reading.h"
#include "common/text_encoding.h"
#include "run/smooth_track.h"
#include "sea/sea_model.h"

#include <vector>

namespace hulvex {
namespace {

// The channels the open reads: the camera track's (distance, speed), then every held channel
// not among them, each once.
std::vector<ChannelSeries> CollectedChannels(const std::vector<int>& held) {
  std::vector<ChannelSeries> collected{{kChDistance, {}}, {kChSpeed, {}}};
  for (int c : held)
    if (std::none_of(collected.begin(), collected.end(), [c](const ChannelSeries& x) { return x.Channel == c; }))
      collected.push_back({c, {}});
  return collected;
}

// Builds the camera track from the collected channels, then keeps the held channels the history
// stores (in the order of HeldChannels); the rest is freed on return.
void KeepCollected(LoadedRun& run, std::vector<ChannelSeries> collected) {
  // The distance is needed only for the track, unless it is held as well.
  const bool distanceHeld = std::find(run.HeldChannels.begin(), run.HeldChannels.end(), kChDistance) != run.HeldChannels.end();
  if (run.History.Following) {
    // The same track, with what extending it needs kept.
    run.TrackFeed = {};
    run.TrackFeed.Distance = collected[0].Values;
    run.TrackFeed.Speed = collected[1].Values;
    run.SmoothTrack = distanceHeld ? collected[0].Values : std::move(collected[0].Values);
    FeedCameraTrack(run.History, run.SmoothTrack, run.TrackFeed, 0);
  } else {
    run.SmoothTrack = distanceHeld ? BuildCameraTrack(run.History, collected[0].Values, collected[1].Values)
                                   : BuildCameraTrack(run.History, std::move(collected[0].Values), collected[1].Values);
  }
  run.Series.clear();
  for (int c : run.HeldChannels) {
    if (c < 0 || c > run.History.Header.LastChannel) continue;
    if (std::any_of(run.Series.begin(), run.Series.end(), [c](const ChannelSeries& x) { return x.Channel == c; })) continue;
    for (ChannelSeries& x : collected)
      if (x.Channel == c) run.Series.push_back(std::move(x));
  }
}

HistoryStepRule StepRuleOf(const LoadedRun& run) {
  return run.Follow ? HistoryStepRule::Present : HistoryStepRule::Announced;
}

}  // namespace

void CloseRun(LoadedRun& run) {
  CloseTimeHistory(run.History);
  run.Series = {};
  run.SmoothTrack = {};
  run.TrackFeed = {};
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
  // One pass over the history: the step times, the camera track's channels and the held ones.
  std::vector<ChannelSeries> collected = CollectedChannels(run.HeldChannels);
  const HistoryOpenResult history =
      OpenTimeHistory(run.History, runPath, run.Params.SpeedSpecified, diag, collected, StepRuleOf(run));
  done("OpenTimeHistory");
  try {
    if (history == HistoryOpenResult::Opened) {
      KeepCollected(run, std::move(collected));
      done("BuildSmoothTrack");
    }
    try {
      LoadCaseDescription(run);
    } catch (const Error& e) {
      diag.Message("case-description", e.what());  // the run is still viewed, without its description
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
    diag.Message("run-file", "Missing KVR file");
    return RunOpenResult::HistoryMissing;
  }
  if (history == HistoryOpenResult::Refused) return RunOpenResult::HistoryRefused;
  return RunOpenResult::Loaded;
}

void OpenRunHistory(LoadedRun& run, const std::string& given, Diagnostics& diag) {
  CloseRun(run);
  run.RunPath = RunPathOf(given);
  run.Params = ReadRunParameters(run.RunPath);
  std::vector<ChannelSeries> collected;
  for (int c : run.HeldChannels) collected.push_back({c, {}});
  switch (OpenTimeHistory(run.History, run.RunPath, run.Params.SpeedSpecified, diag, collected, StepRuleOf(run))) {
    case HistoryOpenResult::Opened: break;
    case HistoryOpenResult::Missing: throw Error("Missing KVR file: " + run.RunPath + ".TTS");
    case HistoryOpenResult::Refused: throw Error("The time history of " + run.RunPath + " cannot be read");
  }
  for (ChannelSeries& s : collected) {
    if (s.Channel >= 0 && s.Channel <= run.History.Header.LastChannel) run.Series.push_back(std::move(s));
  }
}

StatisticsInput HeldSteps(const LoadedRun& run) {
  StatisticsInput input{run.History.StepTimes, 0, run.History.Header.LastChannel, {}};
  for (const ChannelSeries& s : run.Series) input.Series.emplace_back(s.Channel, std::span<const float>(s.Values));
  return input;
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

}  // namespace hulvex
