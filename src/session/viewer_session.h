// The viewer's session: the state the windows share, in one object. It owns the open runs (the
// first is the reference run the windows show), the current step, the playback multiplier, the
// time range the plots show and the statistics of that range. Windows observe it through its
// signals and command it through its functions; none reads or drives another window's widgets.
// QtCore only: it knows no window. The video that plays a run is reached through the VideoEngine
// interface the Video window implements.
#pragma once

#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/diagnostics.h"
#include "run/loaded_run.h"
#include "run/time_navigation.h"
#include "run/window_statistics.h"

namespace hulvex {

// The picture and the timed playback of the reference run (the Video window). The session calls
// it; it reports frames and the end of a playback back to the session (FrameShown, PlaybackEnded).
class VideoEngine {
public:
  virtual ~VideoEngine() = default;
  // Prepares the picture of `run` (which stays open until CloseVideo) and shows its window.
  virtual void PrepareVideo(const LoadedRun& run) = 0;
  // Stops the playback, forgets the run and hides the window.
  virtual void CloseVideo() = 0;
  virtual bool VideoOpen() const = 0;
  virtual bool Playing() const = 0;
  // The step whose frame the video composed last.
  virtual std::int32_t VideoPos() const = 0;
  // Reads and shows step s unshifted. Throws Error for a step the history cannot give.
  virtual void ShowStep(std::int32_t s, Diagnostics& diag) = 0;
  // Shows step s as the playback composed it when that is the frame composed last, else as ShowStep.
  virtual void ShowSelectedStep(std::int32_t s, Diagnostics& diag) = 0;
  // Go: starts the timed playback from s, or stops a running one.
  virtual void StartPlayback(std::int32_t s, Diagnostics& diag) = 0;
  virtual void StopPlayback() = 0;
  // The run shown is followed (`following`) or no longer: a playback then waits at the last step
  // for more steps instead of ending. Also called after the run grew, for the video to take the
  // run's grown arrays.
  virtual void FollowRun(const LoadedRun& run, bool following) {
    (void)run;
    (void)following;
  }
};

// Why the current step changed; observers decide what follows from it.
enum class StepOrigin {
  Opened,  // a run was opened: step 0; the current-time readouts keep their text
  Moved,   // a user's move (time bar, keys, a plot): readouts and picture follow
  Stopped, // Stop made the step the video composed last current: readouts and picture follow
  Ended,   // the playback reached the last step: the bar moves, the readouts keep their text
};

// Moves of the current step a user asks for by key or bar, as the time bar counts them.
enum class StepAction { Previous, Next, PagePrevious, PageNext, First, Last };

class ViewerSession : public QObject {
  Q_OBJECT
public:
  // `programDir`: where boat and spline files are looked for after the run's own directory.
  explicit ViewerSession(const std::string& programDir, QObject* parent = nullptr);
  // Waits for a statistics computation still running (it reads only its own copy).
  ~ViewerSession() override;

  // ---- Runs -------------------------------------------------------------------------------
  // The open runs, the reference first. Holds one run (open or not) at all times.
  std::size_t RunCount() const { return runs_.size(); }
  const LoadedRun& Run(std::size_t k = 0) const { return *runs_.at(k); }
  const LoadedRun& Reference() const { return *runs_.front(); }
  // A run is loaded: its history is open and the current step is one of its steps.
  bool RunLoaded() const { return Reference().History.IsOpen; }
  // The video of the reference run is prepared.
  bool VideoReady() const { return engine_ && engine_->VideoOpen(); }

  // Closes the open run (video first, then the windows' use of it: RunClosing, then the data).
  void CloseRuns();
  // Closes the open run and opens the run at `runPath` (its path without extension), holding the
  // default plot channels: the open sequence, the navigation (step 0), RunOpened, then the video
  // and its first frame. Messages go to `diag`; throws Error when the open ends early (no run is
  // then loaded).
  RunOpenResult Open(const std::string& runPath, Diagnostics& diag);

  // Keeps `channel`'s values in memory (one more pass over each history) and tells
  // ChannelsChanged. Throws Error as HoldChannel does for the reference; a compared run that does
  // not store the channel goes without it.
  void HoldChannel(int channel, Diagnostics& diag);
  // Frees `channel`'s values in every run and tells ChannelsChanged.
  void ReleaseChannel(int channel);

  // ---- Compared runs ------------------------------------------------------------------------
  // At most this many runs: the reference and seven compared runs.
  static constexpr std::size_t kMaxRuns = kMaxComparedRuns;
  std::size_t ComparedCount() const { return runs_.size() - 1; }
  // Opens each of `runPaths` (paths without extension) off the GUI thread, all in parallel, each
  // holding the reference's channels. When all have been tried, those that opened join the
  // compared runs in the order given (ComparedRunsChanged); each that failed, or that would make
  // more than kMaxRuns, is told by ComparedRunFailed with its messages. The compared runs stay
  // when the reference is replaced.
  void AddComparedRuns(const std::vector<std::string>& runPaths);
  // Closes every compared run (ComparedRunsClosing, then ComparedRunsChanged); the overlay of
  // their hulls is switched off first.
  void RemoveComparedRuns();
  // Whether the Video window draws the compared runs' hulls over the reference's picture (the
  // Compared Runs window is then not shown). Never on while no run is compared.
  bool OverlayHulls() const { return overlayHulls_; }
  // Switches the overlay on or off (OverlayHullsChanged when it changes); on is ignored while no
  // run is compared.
  void SetOverlayHulls(bool on);
  // Whether compared runs are being opened.
  bool ComparedRunsPending() const { return opening_ > 0; }
  // The step run k shows at time t (s): its last step whose time is at most t, its first step
  // before it starts. -1 when run k has no step.
  std::int32_t StepOfRunAt(std::size_t k, double t) const;

  // ---- Time ---------------------------------------------------------------------------------
  const TimeNavigation& Navigation() const { return nav_; }
  std::int32_t CurrentStep() const { return nav_.CurrentStep; }
  // The time of the current step (0 while no run is loaded).
  double CurrentTime() const;
  // A user's move to step s (kept within the run): StepChanged(Moved), then the picture of s.
  // Messages and errors of the move go to MoveMessage. Nothing while no run is loaded.
  void SetStep(std::int32_t s);
  // SetStep with the step nearest time t.
  void SetTime(double t);
  // SetStep by a step, a page (the bar's large change) or to either end.
  void Step(StepAction action);

  // ---- Playback -----------------------------------------------------------------------------
  bool Playing() const { return engine_ && engine_->Playing(); }
  // Go: starts the playback from the current step, or stops a running one.
  void Play(Diagnostics& diag);
  // Stop: stops the playback; the step the video composed last becomes current (StepChanged
  // with Stopped), is read once with conversion (checking its number) and shown.
  void Stop(Diagnostics& diag);
  // Space: Stop while playing, else Go (from step 0 again when on the last step).
  void PlayOrStop(Diagnostics& diag);
  float VideoMult() const { return videoMult_; }
  // Sets the multiplier (> 0) for the playback's next interval; tells VideoMultChanged.
  void SetVideoMult(float videoMult);
  // Ctrl+Up / Ctrl+Down: the multiplier times `factor` (0.5 or 2); nothing when a step down
  // would go below 1/1024 or a step up above 1024.
  void ScaleVideoMult(float factor);

  // Reports of the video engine.
  void SetVideoEngine(VideoEngine* engine) { engine_ = engine; }
  // The playback reached `last`: it becomes current, read once with conversion (StepChanged with
  // Ended); PlayingChanged(false).
  void PlaybackEnded(std::int32_t last);
  // Step s has just been put on the screen (a shown step or a playback frame).
  void FrameShown(std::int32_t s) { emit FrameShownAt(s); }
  // Messages of moves and of the playback's end (never a box: a drag raises one per position).
  Diagnostics& MoveMessages() { return moveMessages_; }

  // ---- Following a run being written ---------------------------------------------------------
  // Whether the reference run is opened and kept as one still being written (LoadedRun::Follow).
  bool Following() const { return Reference().Follow; }
  // Switches follow mode (FollowChanged when it changes). Switched on while a run is loaded that
  // was opened without it, the run is opened anew in follow mode at the current time. The session
  // does not watch the file: a RunFollower calls ExtendReference.
  void SetFollow(bool on, Diagnostics& diag);
  // Adds the steps the reference's history gained (ExtendRun): the navigation's range grows,
  // RunGrew tells the windows, and when the last step was current the new last step becomes
  // current (a user's move; not during playback, which waits at the end by itself). A change that
  // is not growth (or a read that fails) opens the run anew at the current time where it still
  // exists, the reason in `diag`. Nothing while not following or no run is loaded.
  HistoryExtension ExtendReference(Diagnostics& diag);

  // ---- Visible range and its statistics -----------------------------------------------------
  // The time range the plots show, while a window shows one; else nothing.
  std::optional<std::pair<double, double>> VisibleRange() const { return visible_; }
  // Sets the visible range and schedules its statistics; nothing when it is unchanged.
  void SetVisibleRange(double t0, double t1);
  void ClearVisibleRange();
  // The statistics of the held channels over the visible range, computed off the GUI thread;
  // nothing before the first result, after the range was cleared or the run closed. A result is
  // published (StatisticsReady) only while its range and channels are still the ones asked for.
  // Statistics(k) are run k's over the same range, computed with the same options.
  const WindowStatistics* Statistics(std::size_t k = 0) const {
    return k < statistics_.size() ? &statistics_[k] : nullptr;
  }
  // Whether a computation is running or waiting for one to end.
  bool StatisticsPending() const { return running_ || queued_; }
  // The impact threshold of the statistics (g above the mean).
  double ImpactThreshold() const { return threshold_; }
  // Sets the impact threshold (g above the mean, >= 0; other values are ignored) and schedules
  // the statistics again when it changed.
  void SetImpactThreshold(double threshold);
  // The dead band of the impact and motion crossings, as a fraction of each channel's range in
  // the window; nothing for the statistics' default.
  std::optional<double> Hysteresis() const { return hysteresis_; }
  // Sets the dead band (a fraction >= 0, or nothing for the default; a negative or NaN fraction
  // is ignored) and schedules the statistics again when it changed.
  void SetHysteresis(std::optional<double> fraction);

signals:
  void RunClosing();           // before the run's data are freed: drop every view of them
  void RunOpened();            // the reference run is loaded and its navigation set up
  void VideoReadyChanged(bool ready);
  void ChannelsChanged();      // the held channels changed (added or removed)
  void StepChanged(std::int32_t step, hulvex::StepOrigin origin);
  void FrameShownAt(std::int32_t step);
  void PlayingChanged(bool playing);
  void VideoMultChanged(float videoMult);
  void MoveMessage(const QString& kind, const QString& text);
  void VisibleRangeChanged(double t0, double t1);
  void StatisticsReady();
  void ComparedRunsClosing();  // before compared runs' data are freed: drop every view of them
  void ComparedRunsChanged();  // compared runs were added or removed
  void ComparedRunFailed(const QString& run, const QString& messages);
  void OverlayHullsChanged(bool on);
  void FollowChanged(bool on);
  void RunGrew(std::int32_t stepsBefore);  // the reference gained steps stepsBefore ... on

private:
  class MoveSink : public Diagnostics {
  public:
    explicit MoveSink(ViewerSession& s) : session_(s) {}
    void Report(const Diagnostic& d) override;

  private:
    ViewerSession& session_;
  };
  LoadedRun& Ref() { return *runs_.front(); }
  void ReopenAtCurrentTime(Diagnostics& diag);
  // Makes s current and reads it with conversion (the stored step number is checked).
  void GoToStep(std::int32_t s, Diagnostics& diag);
  void ScheduleStatistics();
  void StartStatistics();
  void StatisticsDone(std::uint64_t generation, std::shared_ptr<std::vector<WindowStatistics>> result);
  // Makes the compared runs hold exactly the reference's channels (those each stores).
  void SyncComparedChannels();
  StatisticsRequest CurrentRequest() const;

  std::vector<std::unique_ptr<LoadedRun>> runs_;
  TimeNavigation nav_;
  float videoMult_ = 1.0f;
  VideoEngine* engine_ = nullptr;
  MoveSink moveMessages_{*this};
  std::optional<std::pair<double, double>> visible_;
  double threshold_ = 0;
  std::optional<double> hysteresis_;
  std::vector<WindowStatistics> statistics_;  // one per run, or none
  bool overlayHulls_ = false;
  int opening_ = 0;       // batches of compared runs being opened
  QThreadPool openPool_;  // opens compared runs, two at a time
  std::uint64_t generation_ = 0;  // of the range and channels asked for last
  bool running_ = false;
  bool queued_ = false;
  QThreadPool pool_;
};

}  // namespace hulvex
