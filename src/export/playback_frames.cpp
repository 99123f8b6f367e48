#include "export/playback_frames.h"

#include <cmath>

#include "common/error.h"
#include "common/number_format.h"
#include "run/time_navigation.h"
#include "video/frame_drawing.h"
#include "video/playback.h"
#include "video/video_player.h"

namespace hulvex {

VideoSource::VideoSource(const LoadedRun& run) {
  if (!run.History.IsOpen) throw Error("No run is loaded");
  CheckCameraTrack(run.History, run.SmoothTrack);
  if (!run.Hull.Drawable) throw Error("The hull of " + run.RunPath + " cannot be drawn: " + run.Hull.NotDrawableReason);
  history_ = ReopenTimeHistory(run.History);
  track_ = run.SmoothTrack;
  sea_ = run.Sea;
  geometry_ = FrameGeometryOf(run.Hull);
  stations_.assign(geometry_.Stations.begin(), geometry_.Stations.end());
  geometry_.Stations = {};
}

FrameGeometry VideoSource::Geometry() const {
  FrameGeometry g = geometry_;
  g.Stations = stations_;
  return g;
}

void CheckExportSettings(const ExportSettings& s) {
  if (s.Fps < 1) throw Error("The frame rate must be positive, not " + std::to_string(s.Fps));
  if (!std::isfinite(s.Multiplier) || s.Multiplier <= 0)
    throw Error("The multiplier must be a positive number, not " + std::to_string(s.Multiplier));
  if (s.Scale < 1 || s.Scale > kMaxExportScale)
    throw Error("The scale must be 1 to " + std::to_string(kMaxExportScale) + ", not " + std::to_string(s.Scale));
  if ((s.From && !std::isfinite(*s.From)) || (s.To && !std::isfinite(*s.To)))
    throw Error("The start and end times must be numbers of seconds");
  if (s.From && s.To && !(*s.From < *s.To))
    throw Error("The start time (" + FormatSeconds(*s.From) + ") must come before the end time (" + FormatSeconds(*s.To) + ")");
}

ExportPlan PlanWithin(double first, double last, double defaultFrom, double defaultTo, const std::string& what,
                      const ExportSettings& settings) {
  CheckExportSettings(settings);
  ExportPlan plan;
  plan.From = settings.From.value_or(defaultFrom);
  plan.To = settings.To.value_or(defaultTo);
  const std::string range = " is outside " + what + " (" + FormatSeconds(first) + " to " + FormatSeconds(last) + ")";
  if (plan.From < first || plan.From > last) throw Error("The start time " + FormatSeconds(plan.From) + range);
  if (plan.To < first || plan.To > last) throw Error("The end time " + FormatSeconds(plan.To) + range);
  if (!(plan.From < plan.To))
    throw Error("The start time (" + FormatSeconds(plan.From) + ") must come before the end time (" + FormatSeconds(plan.To) + ")");
  const double frames = (plan.To - plan.From) * settings.Multiplier * settings.Fps;
  if (!(frames <= static_cast<double>(kMaxExportFrames)))
    throw Error("The video would have more than " + std::to_string(kMaxExportFrames) + " frames");
  plan.Frames = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::nearbyint(frames)));
  return plan;
}

ExportPlan PlanExport(const TimeHistory& history, const ExportSettings& settings) {
  CheckExportSettings(settings);
  if (history.StepTimes.empty()) throw Error("The run has no steps");
  const double first = history.StepTimes.front();
  const double last = history.StepTimes.back();
  return PlanWithin(first, last, first, last, "the run", settings);
}

RunPlayback::RunPlayback(const VideoSource& source, double from, Diagnostics& diag)
    : source_(source), geometry_(source.Geometry()) {
  const TimeHistory& history = source.History();
  first_ = StepAtOrBefore(history.StepTimes, from + kTimeTolerance);
  // As Go does: the camera's offset is taken at the step the playback starts from.
  const StepValues step = ReadStep(history, first_, false, diag);
  trackOffset_ = CameraTrackOffset(source.Track()[static_cast<std::size_t>(first_)], step.Channels[kChDistance]);
}

bool RunPlayback::ShowTime(double t, Diagnostics& diag) {
  const TimeHistory& history = source_.History();
  const std::int32_t s = StepAtOrBefore(history.StepTimes, t + kTimeTolerance);
  if (s == step_) return false;
  const StepValues step = ReadStep(history, s, false, diag);
  if (s == first_) {
    ComposeStep(frame_, geometry_, source_.Sea(), step, 0.0f, kShowStepThreshold, diag);
  } else {
    const float shift = CameraShift(step.Channels[kChDistance], source_.Track()[static_cast<std::size_t>(s)],
                                    trackOffset_, geometry_.Length);
    ComposeStep(frame_, geometry_, source_.Sea(), step, shift, kPlaybackThreshold, diag);
  }
  stepTime_ = step.StepTime;
  accel_ = step.Channels[kChAcceleration];
  speed_ = step.Channels[kChSpeed];
  step_ = s;
  return true;
}

void RunPlayback::Draw(QImage& picture, int scale, Diagnostics& diag) const {
  DrawFrame(picture, frame_.List, MagnifiedScale(scale), stepTime_, accel_, speed_, diag);
}

PlaybackFrames::PlaybackFrames(const VideoSource& source, const ExportPlan& plan, const ExportSettings& settings,
                               Diagnostics& diag)
    : run_(source, plan.From, diag),
      plan_(plan),
      framesPerSimulatedSecond_(settings.Fps * settings.Multiplier),
      scale_(settings.Scale) {}

QSize PlaybackFrames::FrameSize() const { return {kFrameWidth * scale_, kFrameHeight * scale_}; }

bool PlaybackFrames::Next(QImage& picture, Diagnostics& diag) {
  if (next_ >= plan_.Frames) return false;
  if (run_.ShowTime(plan_.From + static_cast<double>(next_) / framesPerSimulatedSecond_, diag))
    run_.Draw(picture, scale_, diag);
  ++next_;
  return true;
}

}  // namespace hulvex
