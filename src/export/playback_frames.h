// The playback of a stretch of a run as a sequence of video frames at a fixed frame rate.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "hull/hull_section.h"
#include "run/loaded_run.h"
#include "runfiles/time_history.h"
#include "sea/sea_constants.h"
#include "video/frame_composition.h"

namespace hulvex {

// What the video of a run needs, owned by this object: the time history with a file handle of its
// own (ReopenTimeHistory), the camera track the open built (4 bytes a step), the sea, and the
// hull's dimensions and stations. It does not refer to the run it was taken from, so it can be
// used on another thread while that run is closed or another one opened.
class VideoSource {
public:
  // Copies what the video of `run` needs and opens its time-history file once more; the history
  // is not read. Throws Error when no history is open, the camera track does not fit it, the hull
  // cannot be drawn (with the reason), or the file cannot be opened again.
  explicit VideoSource(const LoadedRun& run);
  VideoSource(const VideoSource&) = delete;
  VideoSource& operator=(const VideoSource&) = delete;

  const TimeHistory& History() const { return history_; }
  // The camera track, one entry per readable step.
  std::span<const float> Track() const { return track_; }
  const SeaConstants& Sea() const { return sea_; }
  // The hull for ComposeFrame; its stations belong to this object.
  FrameGeometry Geometry() const;

private:
  TimeHistory history_;
  std::vector<float> track_;
  SeaConstants sea_;
  FrameGeometry geometry_;
  std::vector<HullSection> stations_;
};

// How a stretch of the run is played into a video.
struct ExportSettings {
  std::optional<double> From;  // s; the first step's time when not given
  std::optional<double> To;    // s; the last step's time when not given
  int Fps = 25;                // video frames per second
  double Multiplier = 1.0;     // seconds of video per simulated second (as the viewer's multiplier)
  int Scale = 1;               // the picture is Scale x (620 x 300) pixels, lines and text drawn larger
};

inline constexpr int kMaxExportScale = 8;
inline constexpr std::int64_t kMaxExportFrames = 1'000'000;

// Checks what can be checked without the run: a finite, positive multiplier; a scale of 1 ...
// kMaxExportScale; a positive frame rate; finite From and To, From before To when both are
// given. Throws Error saying what is wrong. (The frame rate's upper bound depends on the format.)
void CheckExportSettings(const ExportSettings& settings);

// The stretch of the run a video covers, and its length in frames.
struct ExportPlan {
  double From = 0;
  double To = 0;
  std::int64_t Frames = 0;  // round((To - From) x Multiplier x Fps), at least 1
};

// The plan for `history`: From and To default to the first and last step's time and must lie in
// between, From before To; at most kMaxExportFrames frames. Throws Error otherwise (and for the
// checks of CheckExportSettings).
ExportPlan PlanExport(const TimeHistory& history, const ExportSettings& settings);

// The plan for a stretch of first ... last (s), `what` naming it in messages ("the run"): From
// and To default to defaultFrom and defaultTo, and must lie in first ... last, From before To; at
// most kMaxExportFrames frames. Throws Error otherwise (and for CheckExportSettings' checks).
ExportPlan PlanWithin(double first, double last, double defaultFrom, double defaultTo, const std::string& what,
                      const ExportSettings& settings);

// Step times and frame times closer than this (s) count as equal: a frame due at 14.95 s shows
// the step stored as 14.95 s whatever the last bits of either number.
inline constexpr double kTimeTolerance = 1e-9;

// One run's side of a playback that starts at time `from`: the step the clock shows at a time and
// that step composed as the playback composes it. The step of time t is
// StepAtOrBefore(step times, t + kTimeTolerance) (the first step before the run starts, the last
// after it ends). The playback's first step (the one `from` shows) is composed as Go shows it
// (unshifted, the single-step threshold), every other step as a playback tick composes it:
// shifted by the camera, whose offset is taken at the first step, with kPlaybackThreshold.
class RunPlayback {
public:
  // Reads the first step (for the camera's offset). `source` must outlive this object. Throws
  // Error when the step cannot be read.
  RunPlayback(const VideoSource& source, double from, Diagnostics& diag);

  // Composes the step time t shows unless it is the step composed last; true when it composed
  // (the picture of this run then changes). Throws Error when the step cannot be read.
  bool ShowTime(double t, Diagnostics& diag);

  // The step composed last (-1 before the first ShowTime) and the playback's first step.
  std::int32_t Step() const { return step_; }
  std::int32_t FirstStep() const { return first_; }
  // The composed step's display list (empty before the first ShowTime).
  const DisplayList& List() const { return frame_.List; }
  // Clears `picture` and draws the composed step with its readout (DrawFrame) at magnification
  // `scale`; `picture` is MakeFrameBitmap(scale)'s size and format. Needs a ShowTime before.
  void Draw(QImage& picture, int scale, Diagnostics& diag) const;

private:
  const VideoSource& source_;
  FrameGeometry geometry_;
  float trackOffset_ = 0;
  std::int32_t first_ = 0;
  std::int32_t step_ = -1;
  VideoFrame frame_;
  double stepTime_ = 0;
  float accel_ = 0;
  float speed_ = 0;
};

// Frames of one size drawn one after the other, for ExportFrames.
class FrameSource {
public:
  virtual ~FrameSource() = default;
  // The size of every frame (a QImage::Format_RGB32 picture).
  virtual QSize FrameSize() const = 0;
  virtual std::int64_t FrameCount() const = 0;
  // The frame Next draws next (0 ... FrameCount()).
  virtual std::int64_t NextFrame() const = 0;
  // Draws the next frame into `picture` (FrameSize(), QImage::Format_RGB32, white when new; it
  // must keep what this source drew before, which may redraw only what changed) and returns
  // true; false when every frame has been drawn. Throws Error when a step cannot be read.
  virtual bool Next(QImage& picture, Diagnostics& diag) = 0;
};

// Draws the frames of the playback of a plan one after the other, reading only the steps they
// show; no frame is held. Video frame k shows the step RunPlayback shows at time
// From + k / (Fps x Multiplier), composed as RunPlayback composes it; the picture is drawn afresh
// only when the frame shows another step than the one drawn last.
class PlaybackFrames : public FrameSource {
public:
  // Reads the first step (for the camera's offset). `source` must outlive this object. Throws
  // Error when the step cannot be read.
  PlaybackFrames(const VideoSource& source, const ExportPlan& plan, const ExportSettings& settings, Diagnostics& diag);

  // MakeFrameBitmap(Scale)'s size.
  QSize FrameSize() const override;
  std::int64_t FrameCount() const override { return plan_.Frames; }
  std::int64_t NextFrame() const override { return next_; }
  bool Next(QImage& picture, Diagnostics& diag) override;

private:
  RunPlayback run_;
  ExportPlan plan_;
  double framesPerSimulatedSecond_;
  int scale_;
  std::int64_t next_ = 0;
};

}  // namespace hulvex
