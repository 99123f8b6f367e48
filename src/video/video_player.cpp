#include "video/video_player.h"

#include <string>

#include "common/error.h"
#include "run/smooth_track.h"

namespace hulvex {

std::vector<float> BuildHistoryTrack(const TimeHistory& history, Diagnostics& diag) {
  const int channels[] = {kChDistance, kChSpeed};
  const auto series = ReadChannelSeries(history, channels, diag);
  return BuildCameraTrack(history, series[0], series[1]);
}

void CheckCameraTrack(const TimeHistory& history, std::span<const float> track) {
  if (track.size() != history.StepTimes.size())
    throw Error("The camera track has " + std::to_string(track.size()) + " steps, the history " +
                std::to_string(history.StepTimes.size()));
}

void VideoPlayer::PrepareVideo(const TimeHistory& history, std::span<const float> track, const FrameGeometry& geometry,
                               const SeaConstants& sea) {
  CloseVideo();
  CheckCameraTrack(history, track);
  smoothTrack_ = track;
  history_ = &history;
  sea_ = &sea;
  geometry_ = geometry;
}

void VideoPlayer::CloseVideo() { *this = VideoPlayer{}; }

void VideoPlayer::TrackGrew(std::span<const float> track) {
  if (!history_) return;
  CheckCameraTrack(*history_, track);
  smoothTrack_ = track;
}

std::int32_t VideoPlayer::LastStep() const { return history_ ? history_->StepCount() - 1 : -1; }

void VideoPlayer::Compose(std::int32_t s, const StepValues& step, float shift, float threshold, Diagnostics& diag) {
  composedStep_ = -1;  // until the frame is complete
  ComposeStep(frame_, geometry_, *sea_, step, shift, threshold, diag);
  composedStep_ = s;
  lastShift_ = shift;
  frameT_ = step.StepTime;
  frameAccel_ = step.Channels[kChAcceleration];
  frameSpeed_ = step.Channels[kChSpeed];
}

void VideoPlayer::ShowStep(std::int32_t s, Diagnostics& diag) {
  if (!history_) throw Error("The video is not prepared");
  const StepValues step = ReadStep(*history_, s, false, diag);
  Compose(s, step, 0.0f, kShowStepThreshold, diag);
  videoPos_ = s;
  lastFrameTime_ = step.StepTime;
}

bool VideoPlayer::StartPlayback(std::int32_t s, Diagnostics& diag) {
  if (!history_ || playing_ || s >= LastStep() || s < 0) {
    StopPlayback();
    return false;
  }
  const StepValues step = ReadStep(*history_, s, false, diag);
  playing_ = true;
  ShowStep(s, diag);
  trackOffset_ = CameraTrackOffset(smoothTrack_[static_cast<std::size_t>(s)], step.Channels[kChDistance]);
  return true;
}

NextFrame VideoPlayer::Tick(float videoMult, Diagnostics& diag) {
  if (!history_) return NextFrame{true, 0, 0};
  const NextFrame next = ChooseNextFrame(history_->StepTimes, LastStep(), videoPos_, lastFrameTime_, videoMult);
  if (next.ended && waitAtEnd_) {
    constexpr std::int64_t kWaitMs = 100;  // the next look for steps written meanwhile
    return NextFrame{false, videoPos_, kWaitMs};
  }
  if (next.ended) {
    videoPos_ = next.step;
    StopPlayback();
    return next;
  }
  videoPos_ = next.step;
  const StepValues step = ReadStep(*history_, videoPos_, false, diag);
  lastFrameTime_ = step.StepTime;
  const float shift = CameraShift(step.Channels[kChDistance], smoothTrack_[static_cast<std::size_t>(videoPos_)],
                                  trackOffset_, geometry_.Length);
  Compose(videoPos_, step, shift, kPlaybackThreshold, diag);
  return next;
}

void ComposeRunStep(ComposedRunStep& out, const StepFrameRequest& o, Diagnostics& diag) {
  OpenWholeRun(out.run, o.run, o.dataDir, diag);
  if (!out.run.Hull.Drawable)
    throw Error("The hull of " + out.run.RunPath + " cannot be drawn: " + out.run.Hull.NotDrawableReason);
  out.step = ReadStep(out.run.History, o.step, false, diag);
  ComposeStep(out.frame, FrameGeometryOf(out.run.Hull), out.run.Sea, out.step, o.shift, o.threshold, diag);
}

}  // namespace hulvex
