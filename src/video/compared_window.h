// The "Compared Runs" window: one pane per compared run, stacked, each that run's own video picture
// at the session's time, following the frames the Video window puts on the screen.
#pragma once

#include <QImage>
#include <QLabel>
#include <QRect>
#include <QScrollArea>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/compared_views.h"
#include "session/viewer_session.h"
#include "video/video_window.h"

namespace hulvex {

class TComparedFrm : public QWidget {
  Q_OBJECT
public:
  // Observes `session`, which outlives the window; `busyArea` gives the screen area the window is
  // first placed beside (the main and Video windows). It has no timer: it draws when the session
  // reports a frame shown (FrameShownAt) or a step (StepChanged), at the reference's time of that
  // step. The panes are composed and drawn on a worker thread of the window's, off the frame path
  // of the Video window, and handed back to the picture; requests made while one is drawn are
  // merged into one for the latest time. Shown while runs are compared and their hulls are not
  // overlaid, hidden otherwise; it never takes the focus when it appears.
  TComparedFrm(QWidget* owner, ViewerSession& session, std::function<QRect()> busyArea);
  ~TComparedFrm() override;

  // The picture: pane i (StackedPane(i, 1)) is compared run i + 1's own picture at the session's
  // time with its name box; a run that cannot be drawn has a white pane saying why. Empty while
  // no run is compared.
  const QImage& Picture() const { return picture_; }
  // True while panes are being drawn or a request waits: Picture() is not yet the latest time's.
  bool Drawing() const { return busy_ || pending_.has_value(); }
  QLabel* StatusLine() const { return status_; }

  // "Compared Runs — NAME2, NAME3" for the session's compared runs, by RunDisplayName.
  static QString TitleOf(const ViewerSession& session);

protected:
  void showEvent(QShowEvent* event) override;

private:
  void Rebuild();
  void DropViews();
  // Restarts every pane's playback at the reference's time of `step` (a move or Go).
  void Restart(std::int32_t step);
  // Draws the panes whose step at the reference's time of `step` changed (all with `redraw`).
  void DrawAt(std::int32_t step, bool redraw);
  // What the worker draws next: a restart of the panes' playback (at RestartAt) and the panes at
  // time T, every pane when Redraw.
  struct DrawRequest {
    std::optional<double> RestartAt;
    double T = 0;
    bool Redraw = false;
  };
  void Request(const DrawRequest& request);
  void StartDrawing(DrawRequest request);
  // Ends the drawing under way (waits for it) and drops a waiting request; the views are the
  // window's again.
  void StopDrawing();
  void ShowOrHide();
  void PlaceBeside();
  double TimeOfStep(std::int32_t step) const;

  ViewerSession& session_;
  std::function<QRect()> busyArea_;
  std::vector<ComparedView> views_;  // the worker's while busy_
  QImage work_;                      // the worker's picture, drawn in place while busy_
  QImage picture_;                   // the picture shown: the worker's, as last handed back
  QWidget* canvas_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QLabel* status_ = nullptr;
  std::unique_ptr<StatusLineDiagnostics> messages_;
  std::int32_t step_ = -1;  // the reference step drawn last
  bool placed_ = false;
  bool busy_ = false;
  std::optional<DrawRequest> pending_;
  std::uint64_t generation_ = 0;  // a hand-back of an earlier set of views is dropped
  QThreadPool pool_;              // one thread; last, so it is gone before what its task uses
};

}  // namespace hulvex
