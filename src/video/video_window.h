// The "Video" window: shows the frame composed last and plays the run back with its timer.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <span>
#include <vector>
#include <string>

#include "common/diagnostics.h"
#include "export/compared_views.h"
#include "session/viewer_session.h"
#include "video/playback.h"
#include "video/video_player.h"

namespace hulvex {

// Messages raised by playback ticks or moves of the time bar: shown in a status line as their
// MessageSummary on one line (each kind once with its count), never in a modal box (a box per tick
// would stack up and block the window). Takes the line over: one text line high, never hidden and
// never widening its window, highlighted while it holds a message.
class StatusLineDiagnostics : public Diagnostics {
public:
  explicit StatusLineDiagnostics(QLabel* line);
  void Report(const Diagnostic& d) override;
  void Clear();
  // Clears the messages and shows `text` (a command's outcome, not a fault) unhighlighted.
  void ShowNote(const QString& text);

private:
  QLabel* line_;
  MessageSummary summary_;
};

// The Video window is the session's video engine: the session tells it which run to prepare,
// which step to show and when to play; it reports each frame it puts on the screen and the end
// of a playback back to the session.
class TVidFrm : public QWidget, public VideoEngine {
  Q_OBJECT
public:
  explicit TVidFrm(QWidget* parent = nullptr);

  // Becomes `session`'s video engine: takes its multiplier at every tick, shows it in the title,
  // and reports frames and the end of the playback to it. While the session's OverlayHulls is on,
  // every frame also shows each compared run's hull and sea line in its RunColour, composed at
  // its last step at or before the frame's time with its own camera (from the step last shown or
  // played from), and the legend of the runs' names; off, the frame is the reference's alone.
  // `session` outlives the window.
  void AttachSession(ViewerSession& session);

  // Monotonic milliseconds; tests replace it with a fake clock.
  std::function<std::int64_t()> Clock;
  // The multiplier in force (read at every tick).
  std::function<float()> VideoMult;
  // Called when the playback reaches the last step, with that step.
  std::function<void(std::int32_t)> PlaybackEnded;
  // Called with the step whose frame has just gone on the screen (a shown step, a playback tick).
  std::function<void(std::int32_t)> FrameShown;

  // The window's title for the multiplier in force: "Video", or "Video (multiplier M)" with M in
  // its shortest exact form when it is not 1.
  void ShowMultiplier(float videoMult);

  // Prepares the picture for an open run, with its camera track as the open built it (see
  // VideoPlayer::PrepareVideo), and shows the window.
  void PrepareVideo(const TimeHistory& history, std::span<const float> track, const FrameGeometry& geometry,
                    const SeaConstants& sea);
  // The same for a loaded run: its history, camera track, hull stations and sea.
  void PrepareVideo(const LoadedRun& run) override;
  // Stops the playback, frees the run's video and hides the window.
  void CloseVideo() override;
  // Reads, composes, draws and shows step s unshifted.
  void ShowStep(std::int32_t s, Diagnostics& diag) override;
  // Go: starts the timed playback from s (first tick 300 ms later), or stops a running one.
  void StartPlayback(std::int32_t s, Diagnostics& diag) override;
  void StopPlayback() override;
  // Puts step s on the screen: the frame composed last when it is that step's (shifted as the
  // playback composed it), else s read and drawn anew (ShowStep).
  void ShowSelectedStep(std::int32_t s, Diagnostics& diag) override;
  void FollowRun(const LoadedRun& run, bool following) override;
  bool VideoOpen() const override { return player_.VideoOpen(); }
  bool Playing() const override { return player_.Playing(); }
  std::int32_t VideoPos() const override { return player_.VideoPos(); }

  const VideoPlayer& Player() const { return player_; }
  QTimer* Timer1 = nullptr;
  const QImage& FrameBitmap() const { return frameBitmap_; }
  // The picture on screen now (FrameBitmap is the one drawn last, shown at the next tick).
  const QImage& Shown() const { return shown_; }
  QLabel* StatusLine() const { return status_; }
  // The playback schedule: deadline() is when the next tick is due (Clock() milliseconds).
  const FramePacer& Pacer() const { return pacer_; }

public slots:
  void Timer1Timer();

protected:
  void paintEvent(QPaintEvent* event) override;  // FormPaint

private:
  void Draw(Diagnostics& diag);
  // The overlay's runs: made from the session's compared runs while the overlay is on, else none.
  void BuildOverlay();
  // Starts the overlaid runs' playbacks at the frame composed last (a shown step, Go).
  void RestartOverlay(Diagnostics& diag);
  void DrawOverlay(Diagnostics& diag);
  // Draws the frame composed last again (the overlay was switched) and shows it unless playing.
  void Redraw();
  VideoPlayer player_;
  ViewerSession* session_ = nullptr;
  std::vector<ComparedView> overlay_;
  std::vector<std::string> overlayNames_;  // the reference's, then the overlaid runs'
  double overlayFrom_ = 0;
  QImage frameBitmap_;
  QImage shown_;
  QLabel* status_ = nullptr;
  StatusLineDiagnostics tickDiag_;
  FramePacer pacer_;
  QElapsedTimer monotonic_;
};

}  // namespace hulvex
