#include "session/viewer_session.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <exception>

#include "common/file_lookup.h"
#include "run/channel_series.h"
#include "run/followed_run.h"

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
  openPool_.setMaxThreadCount(2);
}

ViewerSession::~ViewerSession() {
  openPool_.waitForDone();
  pool_.waitForDone();
}

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
  statistics_.clear();
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
  SyncComparedChannels();
  nav_ = SetUpTimeBar(run.History.StepCount() - 1);
  emit RunOpened();
  emit StepChanged(nav_.CurrentStep, StepOrigin::Opened);
  // A hull that cannot be drawn leaves the sea and the readouts: never another run's hull.
  if (!run.Hull.Drawable) diag.Message("hull-not-drawn", "The hull is not drawn: " + run.Hull.NotDrawableReason);
  if (!engine_) return result;
  engine_->PrepareVideo(run);
  if (run.Follow) engine_->FollowRun(run, true);
  emit VideoReadyChanged(true);
  engine_->ShowStep(nav_.CurrentStep, diag);
  return result;
}

void ViewerSession::HoldChannel(int channel, Diagnostics& diag) {
  hulvex::HoldChannel(Ref(), channel, diag);
  SyncComparedChannels();
  emit ChannelsChanged();
  ScheduleStatistics();
}

void ViewerSession::ReleaseChannel(int channel) {
  if (!FindSeries(Reference(), channel)) return;
  hulvex::ReleaseChannel(Ref(), channel);  // the windows that plotted it have let go of it first
  SyncComparedChannels();
  emit ChannelsChanged();
  ScheduleStatistics();
}

void ViewerSession::SyncComparedChannels() {
  const LoadedRun& ref = Reference();
  for (std::size_t k = 1; k < runs_.size(); ++k) {
    LoadedRun& run = *runs_[k];
    std::vector<int> drop;
    for (const ChannelSeries& s : run.Series)
      if (!FindSeries(ref, s.Channel)) drop.push_back(s.Channel);
    for (int c : drop) hulvex::ReleaseChannel(run, c);
    for (const ChannelSeries& s : ref.Series) {
      if (FindSeries(run, s.Channel) || s.Channel > run.History.Header.LastChannel) continue;
      CollectingDiagnostics ignored;  // the run's own messages were given when it opened
      try {
        hulvex::HoldChannel(run, s.Channel, ignored);
      } catch (const std::exception&) {
        // A channel this run cannot give: its plot goes without this run.
      }
    }
  }
}

// ---- Compared runs --------------------------------------------------------------------------

namespace {

// One compared run being opened, and what came of it.
struct ComparedOpen {
  std::string Path;
  std::unique_ptr<LoadedRun> Run;
  bool Loaded = false;
  std::vector<std::string> Messages;
};

}  // namespace

void ViewerSession::AddComparedRuns(const std::vector<std::string>& runPaths) {
  if (runPaths.empty()) return;
  auto batch = std::make_shared<std::vector<ComparedOpen>>(runPaths.size());
  auto left = std::make_shared<std::atomic<std::size_t>>(runPaths.size());
  std::vector<int> held;
  for (const ChannelSeries& s : Reference().Series) held.push_back(s.Channel);
  if (held.empty()) held.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());
  ++opening_;
  for (std::size_t i = 0; i < runPaths.size(); ++i) {
    ComparedOpen& slot = (*batch)[i];
    slot.Path = runPaths[i];
    slot.Run = std::make_unique<LoadedRun>();
    slot.Run->DataDir = Reference().DataDir;
    slot.Run->SharedDataDir = Reference().SharedDataDir;
    slot.Run->HeldChannels = held;
    openPool_.start([this, batch, left, &slot] {
      CollectingDiagnostics diag;
      try {
        slot.Loaded = OpenRun(*slot.Run, slot.Path, diag) == RunOpenResult::Loaded;
      } catch (const std::exception& e) {
        diag.Message("error", e.what());
      }
      slot.Messages = std::move(diag.messages);
      if (left->fetch_sub(1) != 1) return;
      // The last of the batch hands all of it to the session's thread (the destructor waits for
      // this task, so `this` is alive; a call queued to a destroyed object is dropped).
      QMetaObject::invokeMethod(this, [this, batch] {
        --opening_;
        bool added = false;
        for (ComparedOpen& o : *batch) {
          if (o.Loaded && runs_.size() < kMaxRuns) {
            runs_.push_back(std::move(o.Run));
            added = true;
            continue;
          }
          std::string text;
          for (const std::string& m : o.Messages) text += (text.empty() ? "" : "\n") + m;
          if (o.Loaded) text = "At most " + std::to_string(kMaxRuns - 1) + " runs can be compared with the reference";
          if (text.empty()) text = "The run could not be opened";
          emit ComparedRunFailed(QString::fromStdString(o.Path), QString::fromStdString(text));
        }
        if (!added) return;
        SyncComparedChannels();
        emit ComparedRunsChanged();
        ScheduleStatistics();
      }, Qt::QueuedConnection);
    });
  }
}

void ViewerSession::RemoveComparedRuns() {
  if (runs_.size() < 2) return;
  SetOverlayHulls(false);
  emit ComparedRunsClosing();
  runs_.resize(1);
  emit ComparedRunsChanged();
  ScheduleStatistics();
}

void ViewerSession::SetOverlayHulls(bool on) {
  if (on && ComparedCount() == 0) on = false;
  if (on == overlayHulls_) return;
  overlayHulls_ = on;
  emit OverlayHullsChanged(on);
}

std::int32_t ViewerSession::StepOfRunAt(std::size_t k, double t) const {
  const std::vector<double>& times = Run(k).History.StepTimes;
  return times.empty() ? -1 : StepAtOrBefore(times, t);
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

// ---- Following a run being written ----------------------------------------------------------

void ViewerSession::SetFollow(bool on, Diagnostics& diag) {
  if (on == Ref().Follow) return;
  Ref().Follow = on;
  emit FollowChanged(on);
  if (engine_ && VideoReady()) engine_->FollowRun(Reference(), on);
  if (on && RunLoaded() && !Reference().History.Following) ReopenAtCurrentTime(diag);
}

void ViewerSession::ReopenAtCurrentTime(Diagnostics& diag) {
  const double t = CurrentTime();
  const std::string path = Reference().RunPath;
  if (Open(path, diag) != RunOpenResult::Loaded) return;
  const std::vector<double>& times = Reference().History.StepTimes;
  SetStep(t <= times.back() ? StepNearest(times, t) : nav_.HighStep);
}

HistoryExtension ViewerSession::ExtendReference(Diagnostics& diag) {
  HistoryExtension grown;
  if (!RunLoaded() || !Reference().History.Following) return grown;
  const std::int32_t before = Reference().History.StepCount();
  const bool atEnd = nav_.CurrentStep == before - 1;
  try {
    grown = ExtendRun(Ref(), diag);
  } catch (const std::exception& e) {
    grown.Growth = HistoryGrowth::Changed;
    grown.Reason = e.what();
  }
  if (grown.Growth == HistoryGrowth::Changed) {
    diag.Message("run-changed", Reference().RunPath + ".TTS changed (" + grown.Reason + "): read anew");
    ReopenAtCurrentTime(diag);
    return grown;
  }
  if (grown.Growth != HistoryGrowth::Grew) return grown;
  const std::int32_t current = nav_.CurrentStep;
  nav_ = SetUpTimeBar(Reference().History.StepCount() - 1);
  nav_.CurrentStep = current;
  if (engine_ && VideoReady()) engine_->FollowRun(Reference(), true);
  emit RunGrew(before);
  if (atEnd && !Playing()) SetStep(nav_.HighStep);
  return grown;
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
  statistics_.clear();
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
  const StatisticsRequest request = CurrentRequest();
  // The worker reads its own copies of the range's steps: the runs may close or change meanwhile.
  std::vector<std::shared_ptr<const StatisticsSnapshot>> snapshots;
  for (const auto& run : runs_) {
    if (!run->History.IsOpen) continue;
    snapshots.push_back(std::make_shared<const StatisticsSnapshot>(HeldSteps(*run), request.From, request.To));
  }
  const std::uint64_t generation = generation_;
  running_ = true;
  pool_.start([this, snapshots = std::move(snapshots), request, generation] {
    auto result = std::make_shared<std::vector<WindowStatistics>>();
    for (const auto& snapshot : snapshots) result->push_back(ComputeWindowStatistics(snapshot->View(), request));
    // Queued to the session's thread; the destructor waits for this task, so `this` is alive.
    QMetaObject::invokeMethod(this, [this, generation, result] { StatisticsDone(generation, result); },
                              Qt::QueuedConnection);
  });
}

void ViewerSession::StatisticsDone(std::uint64_t generation, std::shared_ptr<std::vector<WindowStatistics>> result) {
  running_ = false;
  if (generation == generation_) {
    statistics_ = std::move(*result);
    emit StatisticsReady();
    return;
  }
  // Stale: the range, the channels or the runs changed meanwhile. Compute the latest instead.
  if (visible_ && RunLoaded()) StartStatistics();
}

}  // namespace hulvex
