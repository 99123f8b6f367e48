// The video of the open run without its window: the camera track, which step is shown, the
// playback state, and the frame composed last.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "run/loaded_run.h"
#include "run/smooth_track.h"
#include "runfiles/time_history.h"
#include "sea/sea_constants.h"
#include "video/frame_composition.h"
#include "video/playback.h"

namespace hulvex {

// Thresholds of channel 8 above which a step carries no local surface term.
constexpr float kShowStepThreshold = 1000.0f;
constexpr float kPlaybackThreshold = 50.0f;

// The camera track of an open history read from its file: channels 6 and 7 of every step in one
// pass, then BuildCameraTrack. Step-number mismatches go to `diag`. Throws Error when the history
// cannot be read. (The open sequence builds the same track from memory: LoadedRun::SmoothTrack.)
std::vector<float> BuildHistoryTrack(const TimeHistory& history, Diagnostics& diag);

// Throws Error when `track` is not a camera track of `history`: one entry per readable step.
void CheckCameraTrack(const TimeHistory& history, std::span<const float> track);

class VideoPlayer {
public:
  // Prepares the video of an open run with its camera track, one entry per readable step (as the
  // open builds it). The history, the track, the sea and the stations behind `geometry` must
  // stay unchanged until CloseVideo. Throws Error when the track does not fit the history.
  void PrepareVideo(const TimeHistory& history, std::span<const float> track, const FrameGeometry& geometry,
                    const SeaConstants& sea);
  // Stops the playback and forgets the run.
  void CloseVideo();

  // Reads step s raw and composes it unshifted (threshold 1000): VideoPos = s, LastFrameTime =
  // its time. Throws Error for a step the history cannot give.
  void ShowStep(std::int32_t s, Diagnostics& diag);

  // Go: when not playing and s < LastStep, shows step s, takes the track offset there and
  // starts playing (true; the first tick is due 300 ms later). Otherwise stops (false).
  bool StartPlayback(std::int32_t s, Diagnostics& diag);
  void StopPlayback() { playing_ = false; }

  // One tick of the playback: the next step at least 40 ms (at the multiplier) after the frame
  // shown now is read and composed shifted by the camera (threshold 50). At the last step the
  // playback stops, VideoPos becomes LastStep and nothing is composed (result.ended).
  NextFrame Tick(float videoMult, Diagnostics& diag);

  bool VideoOpen() const { return history_ != nullptr; }
  bool Playing() const { return playing_; }
  std::int32_t VideoPos() const { return videoPos_; }
  // The step whose frame Frame() holds (-1 before the first); differs from VideoPos after the
  // playback reached the last step, which is not composed.
  std::int32_t ComposedStep() const { return composedStep_; }
  double LastFrameTime() const { return lastFrameTime_; }
  std::int32_t LastStep() const;
  std::span<const float> SmoothTrack() const { return smoothTrack_; }
  // The history played and its track have grown (a followed run): takes the track's storage anew
  // (it holds one value per step of the history).
  void TrackGrew(std::span<const float> track);
  // While set, a playback that reaches the last step waits there for more steps (Tick then
  // composes nothing and asks to be called again) instead of ending.
  void SetWaitAtEnd(bool wait) { waitAtEnd_ = wait; }
  float LastShift() const { return lastShift_; }

  // The frame composed last, with its readout values (time, acceleration ft/s^2, speed ft/s).
  const VideoFrame& Frame() const { return frame_; }
  double FrameT() const { return frameT_; }
  double FrameAccel() const { return frameAccel_; }
  double FrameSpeed() const { return frameSpeed_; }

private:
  void Compose(std::int32_t s, const StepValues& step, float shift, float threshold, Diagnostics& diag);

  const TimeHistory* history_ = nullptr;
  const SeaConstants* sea_ = nullptr;
  FrameGeometry geometry_;
  std::span<const float> smoothTrack_;
  float trackOffset_ = 0;
  bool waitAtEnd_ = false;
  float lastShift_ = 0;
  std::int32_t videoPos_ = 0;
  std::int32_t composedStep_ = -1;
  double lastFrameTime_ = 0;
  bool playing_ = false;
  VideoFrame frame_;
  double frameT_ = 0, frameAccel_ = 0, frameSpeed_ = 0;
};

// One step of a run to be composed alone, as `hulvex frame` and `render` and the Python module's
// Run.render take it.
struct StepFrameRequest {
  std::string run;  // the ".HVX" path, or the run path without extension
  std::int32_t step = 0;
  float shift = 0.0f;
  float threshold = kShowStepThreshold;
  std::string dataDir;  // where boat and spline files are looked for (SetDataDirectories)
};

// A run opened whole, one of its steps read raw, and its frame composed as the video composes a
// single step (with the request's shift and threshold).
struct ComposedRunStep {
  LoadedRun run;
  StepValues step;
  VideoFrame frame;
};

// Throws Error when the run cannot be opened, its hull cannot be drawn, or the step is not there.
void ComposeRunStep(ComposedRunStep& out, const StepFrameRequest& request, Diagnostics& diag);

}  // namespace hulvex
