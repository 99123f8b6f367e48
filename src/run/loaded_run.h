// The loaded run: everything an open run needs, owned by one object (by the main window, by each CLI
// command, by each test). Opening a run is a sequence of steps on this object; what carries over
// from one open to the next is carried by keeping the same object alive.
#pragma once

#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "hull/hull_model.h"
#include "runfiles/run_parameters.h"
#include "runfiles/time_history.h"
#include "run/smooth_track.h"
#include "run/window_statistics.h"
#include "sea/sea_constants.h"

namespace hulvex {

struct LoadedRun {
  std::string RunPath;       // the run's path without extension, used whole
  RunParameters Params;      // of the run last read
  TimeHistory History;       // open while a run is viewed
  std::string Description;   // the case description (".TXT") as UTF-8
  std::string DataDir;       // the program's data directory, where boat and spline files are
                             // looked for after the run's own directory; set by the caller
  std::string SharedDataDir; // looked in after DataDir: PREFIX/share/hulvex of an installed
                             // program (SharedDataDirectory); skipped when empty
  SeaConstants Sea;          // the sea of the run last opened
  HullModel Hull;            // the boat, its spline curves and stations; the curves carry over
                             // between opens, a missing boat file leaves no boat
  // The channels an open keeps in memory (the viewer's plots); set by the caller, kept across opens.
  std::vector<int> HeldChannels;
  // Their raw values at every step, for those the history stores, in the order of HeldChannels
  // (see run/channel_series.h).
  std::vector<ChannelSeries> Series;
  // The camera track of the playback, built by the open from channels 6 and 7 (4 bytes a step).
  std::vector<float> SmoothTrack;
  // Set by the caller, kept across opens: open the run as one still being written (the steps
  // present, HistoryStepRule::Present), so that ExtendRun (run/followed_run.h) can add steps.
  bool Follow = false;
  // Follow mode: what extending the camera track needs (see FeedCameraTrack).
  CameraTrackFeed TrackFeed;
};

// How far an open got. Every result but Loaded leaves no history open.
enum class RunOpenResult {
  Loaded,          // every step done
  HistoryMissing,  // no ".TTS": "No file" and "Missing KVR file" were reported
  HistoryRefused,  // the ".TTS" header was refused; the reason was reported
};

// Tears down what the previous open left (the time history, the series, the camera track) and
// marks the hull not drawable; state meant to carry over (the boat, the spline curves, the station
// table, HeldChannels) stays.
void CloseRun(LoadedRun& run);

// Reads runPath + ".TXT" into run.Description (UTF-8 if valid, else Windows-1252).
// Throws Error "Cannot open file PATH" when it cannot be read.
void LoadCaseDescription(LoadedRun& run);

// The whole open sequence for runPath (with run.Follow, the steps present are opened: a run still
// being written; else a history with fewer steps than its LastStep is truncated) (the path without extension): close the previous run, read
// the run parameters, load the boat, open the time history reading it once (the step times,
// channels 6 and 7 and the HeldChannels together), build the camera track from memory, load the
// case description, and, when the history opened, prepare the hull and build the station table.
// Messages go to `diag`; a description that cannot be read is one of them ("Cannot open file
// PATH", the description stays empty). Throws Error when a step fails in a way that ends the
// command (a missing or short file); the steps after it are then not done and no history is left
// open.
// `observer`, when given, is told the name of each step as it finishes ("ReadRunParameters",
// "LoadBoat", "OpenTimeHistory", "BuildSmoothTrack", "LoadCaseDescription", "PrepareHull",
// "SeaSetUp", "BuildStationTable"), so that callers can time them. OpenTimeHistory is the only
// step that reads the history.
class OpenObserver {
public:
  virtual ~OpenObserver() = default;
  virtual void StepDone(const char* step) = 0;
};
RunOpenResult OpenRun(LoadedRun& run, const std::string& runPath, Diagnostics& diag, OpenObserver* observer = nullptr);

// Reads the run parameters and opens the time history of RUN (the ".HVX" path, or the run path
// without extension), reading run.HeldChannels into run.Series in the same pass (those the
// history stores, in order); with run.Follow the steps present. No camera track is built. Throws Error when the history cannot be opened (its reason went to
// `diag`).
void OpenRunHistory(LoadedRun& run, const std::string& given, Diagnostics& diag);

// The steps of `run` as the window statistics and spectra take them: its step times, from step 0,
// and its held series. Views into `run`, which must outlive the result and not change meanwhile.
StatisticsInput HeldSteps(const LoadedRun& run);

// The directory of the running program (empty when it cannot be told).
std::string ProgramDirectory();

// Where `run` looks for boat and spline files after the run's directory: `dataDir` (the program's
// directory when empty), then the shared data directory of the installed program.
void SetDataDirectories(LoadedRun& run, const std::string& dataDir);

// Opens RUN (the ".HVX" path, or the run path without extension) whole, as the viewer does, its
// files looked up as SetDataDirectories sets them. Throws Error when the history cannot be opened.
void OpenWholeRun(LoadedRun& run, const std::string& given, const std::string& dataDir, Diagnostics& diag);


}  // namespace hulvex
