#include "session/viewer_session.h"

#include <QMetaObject>

#include <algorithm>
#include <exception>

#include "common/file_lookup.h"
#include "run/channel_series.h"

namespace hulvex {

void ViewerSession::MoveSink::Report(const Diagnostic& d) {
  emit session_.MoveMessage(QString::fromStdString(d.Kind), QString::fromStdString(d.Text));
}

ViewerSession::ViewerSession(const std::string& programDir, QObject* parent) : QObject(parent) {
  auto run = std::make_unique<LoadedRun>();
  run->DataDir = programDir;
  run->SharedDataDir = SharedDataDirectory(programDir);
  runs_.push_back(std::move(run));
  pool_.setMaxThreadCount(1);  // one computation at a time: a newer range waits for it, then the latest runs
}

ViewerSession::~ViewerSession() { pool_.waitForDone(); }

double ViewerSession::CurrentTime() const {
  const std::vector<double>& t = Reference().History.StepTimes;
  const auto s = static_cast<std::size_t>(std::max(nav_.CurrentStep, 0));
  return RunLoaded() && s < t.size() ? t[s] : 0.0;
}

// ---- Runs -----------------------------------------------------------------------------------

void ViewerSession::CloseRuns() {
  const bool hadVideo = VideoReady();
  if (engine_ && engine_->VideoOpen()) engine_->CloseVideo();
  if (hadVideo) emit VideoReadyChanged(false);
  emit RunClosing();  // the windows let go of the series before they are freed
  visible_.reset();
  statistics_.reset();
  ++generation_;
  CloseRun(Ref());
  nav_ = TimeNavigation{};
}

RunOpenResult ViewerSession::Open(const std::string& runPath, Diagnostics& diag) {
  CloseRuns();
  LoadedRun& run = Ref();
  run.HeldChannels.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());  // read with the step times
  const RunOpenResult result = OpenRun(run, runPath, diag);
  if (result != RunOpenResult::Loaded) return result;
  nav_ = SetUpTimeBar(run.History.StepCount() - 1);
  emit RunOpened();
  emit StepChanged(nav_.CurrentStep, StepOrigin::Opened);
  // A hull that cannot be drawn leaves the sea and the readouts: never another run's hull.
  if (!run.Hull.Drawable) diag.Message("hull-not-drawn", "The hull is not drawn: " + run.Hull.NotDrawableReason);
  if (!engine_) return result;
  engine_->PrepareVideo(run);
  emit VideoReadyChanged(true);
  engine_->ShowStep(nav_.CurrentStep, diag);
  return result;
}

void ViewerSession::HoldChannel(int channel, Diagnostics& diag) {
  hulvex::HoldChannel(Ref(), channel, diag);
  emit ChannelsChanged();
  ScheduleStatistics();
}

void ViewerSession::ReleaseChannel(int channel) {
  if (!FindSeries(Reference(), channel)) return;
  hulvex::ReleaseChannel(Ref(), channel);  // the window that plotted it has let go of it first
  emit ChannelsChanged();
  ScheduleStatistics();
}

// ---- Time -----------------------------------------------------------------------------------

void ViewerSession::GoToStep(std::int32_t s, Diagnostics& diag) {
  nav_.CurrentStep = s;
  ReadStep(Ref().History, s, true, diag);
}

void ViewerSession::SetStep(std::int32_t s) {
  if (!RunLoaded()) return;
  nav_.CurrentStep = std::clamp(s, nav_.LowStep, nav_.HighStep);
  emit StepChanged(nav_.CurrentStep, StepOrigin::Moved);
  if (!VideoReady()) return;
  try {
    engine_->ShowStep(nav_.CurrentStep, moveMessages_);
  } catch (const std::exception& e) {
    moveMessages_.Message("error", e.what());
  }
}

void ViewerSession::SetTime(double t) {
  if (!RunLoaded()) return;
  SetStep(StepNearest(Reference().History.StepTimes, t));
}

void ViewerSession::Step(StepAction action) {
  if (!RunLoaded()) return;
  const std::int32_t s = nav_.CurrentStep;
  switch (action) {
    case StepAction::Previous: return SetStep(s - 1);
    case StepAction::Next: return SetStep(s + 1);
    case StepAction::PagePrevious: return SetStep(s - nav_.LargeChange());
    case StepAction::PageNext: return SetStep(s + nav_.LargeChange());
    case StepAction::First: return SetStep(nav_.LowStep);
    case StepAction::Last: return SetStep(nav_.HighStep);
  }
}

// ---- Playback -------------------------------------------------------------------------------

void ViewerSession::Play(Diagnostics& diag) {
  if (!RunLoaded() || !VideoReady()) return;
  const bool was = Playing();
  engine_->StartPlayback(nav_.CurrentStep, diag);
  if (Playing() != was) emit PlayingChanged(Playing());
}

void ViewerSession::Stop(Diagnostics& diag) {
  if (!RunLoaded() || !VideoReady()) return;
  const bool was = Playing();
  engine_->StopPlayback();
  if (was) emit PlayingChanged(false);
  const std::int32_t s = engine_->VideoPos();
  GoToStep(s, diag);
  // The picture, the bar and the readouts show the same step.
  emit StepChanged(s, StepOrigin::Stopped);
  engine_->ShowSelectedStep(s, diag);
}

void ViewerSession::PlayOrStop(Diagnostics& diag) {
  if (!RunLoaded() || !VideoReady()) return;
  if (Playing()) {
    Stop(diag);
    return;
  }
  if (nav_.CurrentStep >= nav_.HighStep) SetStep(nav_.LowStep);
  Play(diag);
}

void ViewerSession::SetVideoMult(float videoMult) {
  if (!(videoMult > 0)) return;
  videoMult_ = videoMult;
  emit VideoMultChanged(videoMult);
}

void ViewerSession::ScaleVideoMult(float factor) {
  constexpr double kFastest = 1.0 / 1024, kSlowest = 1024;
  const double next = static_cast<double>(videoMult_) * static_cast<double>(factor);  // exact: factor is 0.5 or 2
  if (factor < 1 ? next < kFastest : next > kSlowest) return;  // a step toward the limits only
  SetVideoMult(static_cast<float>(next));
}

void ViewerSession::PlaybackEnded(std::int32_t last) {
  try {
    GoToStep(last, moveMessages_);
  } catch (const std::exception& e) {
    moveMessages_.Message("error", e.what());
  }
  emit StepChanged(last, StepOrigin::Ended);
  emit PlayingChanged(false);
}

// ---- Visible range and its statistics -------------------------------------------------------

void ViewerSession::SetVisibleRange(double t0, double t1) {
  if (visible_ && visible_->first == t0 && visible_->second == t1) return;
  visible_ = std::pair{t0, t1};
  emit VisibleRangeChanged(t0, t1);
  ScheduleStatistics();
}

void ViewerSession::SetImpactThreshold(double threshold) {
  if (!(threshold >= 0) || threshold == threshold_) return;
  threshold_ = threshold;
  ScheduleStatistics();
}

void ViewerSession::SetHysteresis(std::optional<double> fraction) {
  if (fraction && !(*fraction >= 0)) return;
  if (fraction == hysteresis_) return;
  hysteresis_ = fraction;
  ScheduleStatistics();
}

void ViewerSession::ClearVisibleRange() {
  visible_.reset();
  statistics_.reset();
  ++generation_;
}

StatisticsRequest ViewerSession::CurrentRequest() const {
  StatisticsRequest request;
  if (visible_) {
    request.From = visible_->first;
    request.To = visible_->second;
  }
  for (const ChannelSeries& s : Reference().Series) request.Channels.push_back(s.Channel);
  request.Threshold = threshold_;
  if (hysteresis_) request.Hysteresis = *hysteresis_;
  return request;
}

void ViewerSession::ScheduleStatistics() {
  ++generation_;
  if (!visible_ || !RunLoaded()) return;
  if (running_) {
    queued_ = true;  // started when the one running ends, for the range asked for by then
    return;
  }
  StartStatistics();
}

void ViewerSession::StartStatistics() {
  queued_ = false;
  const LoadedRun& run = Reference();
  StatisticsInput input;
  input.StepTimes = run.History.StepTimes;
  input.LastChannel = run.History.Header.LastChannel;
  for (const ChannelSeries& s : run.Series) input.Series.emplace_back(s.Channel, std::span<const float>(s.Values));
  const StatisticsRequest request = CurrentRequest();
  // The worker reads its own copy of the range's steps: the run may close or change meanwhile.
  auto snapshot = std::make_shared<const StatisticsSnapshot>(input, request.From, request.To);
  const std::uint64_t generation = generation_;
  running_ = true;
  pool_.start([this, snapshot, request, generation] {
    auto result = std::make_shared<WindowStatistics>(ComputeWindowStatistics(snapshot->View(), request));
    // Queued to the session's thread; the destructor waits for this task, so `this` is alive.
    QMetaObject::invokeMethod(this, [this, generation, result] { StatisticsDone(generation, result); },
                              Qt::QueuedConnection);
  });
}

void ViewerSession::StatisticsDone(std::uint64_t generation, std::shared_ptr<WindowStatistics> result) {
  running_ = false;
  if (generation == generation_) {
    statistics_ = std::move(*result);
    emit StatisticsReady();
    return;
  }
  // Stale: the range or the channels changed meanwhile. Compute the latest instead.
  if (visible_ && RunLoaded()) StartStatistics();
}

}  // namespace hulvex
