#include "video/video_window.h"

#include <QPainter>
#include <QVBoxLayout>

#include <exception>

#include "video/frame_drawing.h"

namespace hulvex {
namespace {
const QString kQuietLine = QStringLiteral("QLabel { padding: 1px 4px; }");
const QString kMessageLine = QStringLiteral("QLabel { background: #fff3c4; padding: 1px 4px; }");
}  // namespace

StatusLineDiagnostics::StatusLineDiagnostics(QLabel* line) : line_(line) {
  line_->setFixedHeight(line_->fontMetrics().height() + 4);
  line_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  line_->setStyleSheet(kQuietLine);
}

void StatusLineDiagnostics::Report(const Diagnostic& d) {
  summary_.Add(d);
  const QString line = QString::fromStdString(summary_.Text("  |  "));
  line_->setText(line);
  line_->setToolTip(line);
  line_->setStyleSheet(kMessageLine);
}

void StatusLineDiagnostics::Clear() { ShowNote(QString()); }

void StatusLineDiagnostics::ShowNote(const QString& text) {
  summary_.Clear();
  line_->setText(text);
  line_->setToolTip(text);
  line_->setStyleSheet(kQuietLine);
}

TVidFrm::TVidFrm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint),
      frameBitmap_(MakeFrameBitmap()),
      shown_(frameBitmap_),
      status_(new QLabel(this)),
      tickDiag_(status_) {
  setObjectName(QStringLiteral("VidFrm"));
  setWindowTitle(QStringLiteral("Video"));
  move(158, 174);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, kFrameHeight + 1, 0, 0);
  layout->setSpacing(0);
  status_->setObjectName(QStringLiteral("StatusLine"));
  layout->addWidget(status_);
  // The picture and the status line; a message never resizes the window.
  setFixedSize(kFrameWidth, kFrameHeight + 1 + status_->maximumHeight());

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setSingleShot(true);
  Timer1->setTimerType(Qt::PreciseTimer);
  connect(Timer1, &QTimer::timeout, this, &TVidFrm::Timer1Timer);

  monotonic_.start();
  Clock = [this] { return monotonic_.elapsed(); };
  VideoMult = [] { return 1.0f; };
}

void TVidFrm::ShowMultiplier(float videoMult) {
  setWindowTitle(videoMult == 1.0f ? QStringLiteral("Video")
                                   : QStringLiteral("Video (multiplier %1)").arg(QString::fromStdString(ShortestVideoMult(videoMult))));
}

void TVidFrm::PrepareVideo(const TimeHistory& history, std::span<const float> track, const FrameGeometry& geometry,
                           const SeaConstants& sea) {
  CloseVideo();
  player_.PrepareVideo(history, track, geometry, sea);
  frameBitmap_.fill(Qt::white);
  shown_ = frameBitmap_;
  tickDiag_.Clear();
  show();
}

void TVidFrm::AttachSession(ViewerSession& session) {
  session.SetVideoEngine(this);
  VideoMult = [&session] { return session.VideoMult(); };
  PlaybackEnded = [&session](std::int32_t last) { session.PlaybackEnded(last); };
  FrameShown = [&session](std::int32_t s) { session.FrameShown(s); };
  connect(&session, &ViewerSession::VideoMultChanged, this, &TVidFrm::ShowMultiplier);
  ShowMultiplier(session.VideoMult());
  session_ = &session;
  connect(&session, &ViewerSession::ComparedRunsClosing, this, [this] { overlay_.clear(); });
  connect(&session, &ViewerSession::ComparedRunsChanged, this, [this] {
    if (!session_->OverlayHulls()) return;
    BuildOverlay();
    Redraw();
  });
  connect(&session, &ViewerSession::OverlayHullsChanged, this, [this](bool on) {
    if (on) {
      BuildOverlay();
    } else {
      overlay_.clear();
    }
    Redraw();
  });
}

void TVidFrm::BuildOverlay() {
  std::vector<const LoadedRun*> runs;
  for (std::size_t k = 1; k < session_->RunCount(); ++k) runs.push_back(&session_->Run(k));
  overlay_ = MakeComparedViews(runs);
  overlayNames_ = {RunDisplayName(session_->Reference())};
  for (const ComparedView& view : overlay_) overlayNames_.push_back(view.Name);
  StartComparedViews(overlay_, overlayFrom_, tickDiag_);
}

void TVidFrm::RestartOverlay(Diagnostics& diag) {
  overlayFrom_ = player_.FrameT();
  if (overlay_.empty()) return;
  overlayNames_.front() = RunDisplayName(session_->Reference());
  StartComparedViews(overlay_, overlayFrom_, diag);
}

void TVidFrm::DrawOverlay(Diagnostics& diag) {
  const double t = player_.FrameT();
  for (std::size_t i = 0; i < overlay_.size(); ++i) {
    ComparedView& view = overlay_[i];
    if (!view.Playback) continue;  // a hull that cannot be drawn: its name stays in the legend
    try {
      view.Playback->ShowTime(t, diag);
      DrawOverlayRun(frameBitmap_, view.Playback->List(), RunColour(static_cast<int>(i + 1)), PictureScale{}, diag);
    } catch (const std::exception& e) {
      diag.Message("error", view.Name + ": " + e.what());
    }
  }
  DrawOverlayLegend(frameBitmap_, overlayNames_, 1);
}

void TVidFrm::Redraw() {
  if (player_.ComposedStep() < 0) return;
  Draw(tickDiag_);
  if (player_.Playing()) return;  // the next tick shows it
  shown_ = frameBitmap_;
  update();
}

void TVidFrm::FollowRun(const LoadedRun& run, bool following) {
  player_.TrackGrew(run.SmoothTrack);
  player_.SetWaitAtEnd(following);
}

void TVidFrm::PrepareVideo(const LoadedRun& run) {
  const FrameGeometry geometry = FrameGeometryOf(run.Hull);
  PrepareVideo(run.History, run.SmoothTrack, geometry, run.Sea);
  if (!run.Hull.Drawable) {
    tickDiag_.ShowNote(QStringLiteral("Hull not drawn: %1 (sea drawn for a %2 ft boat)")
                           .arg(QString::fromStdString(run.Hull.NotDrawableReason))
                           .arg(static_cast<double>(geometry.Length)));
  }
}

void TVidFrm::CloseVideo() {
  StopPlayback();
  player_.CloseVideo();
  hide();
}

void TVidFrm::Draw(Diagnostics& diag) {
  DrawFrame(frameBitmap_, player_.Frame().List, PictureScale{}, player_.FrameT(), player_.FrameAccel(),
            player_.FrameSpeed(), diag);
  if (!overlay_.empty()) DrawOverlay(diag);
}

void TVidFrm::ShowStep(std::int32_t s, Diagnostics& diag) {
  player_.ShowStep(s, diag);
  RestartOverlay(diag);
  Draw(diag);
  shown_ = frameBitmap_;
  update();
  if (FrameShown) FrameShown(s);
}

void TVidFrm::StartPlayback(std::int32_t s, Diagnostics& diag) {
  if (player_.StartPlayback(s, diag)) {
    RestartOverlay(diag);
    Draw(diag);
    shown_ = frameBitmap_;
    update();
    if (FrameShown) FrameShown(player_.VideoPos());
    tickDiag_.Clear();
    pacer_.Start(Clock(), kFirstTickMs);
    Timer1->start(static_cast<int>(kFirstTickMs));
  } else {
    StopPlayback();
  }
}

void TVidFrm::StopPlayback() {
  Timer1->stop();
  player_.StopPlayback();
}

void TVidFrm::ShowSelectedStep(std::int32_t s, Diagnostics& diag) {
  if (player_.ComposedStep() != s) {
    ShowStep(s, diag);
    return;
  }
  shown_ = frameBitmap_;
  update();
}

void TVidFrm::Timer1Timer() {
  if (!player_.Playing()) return;
  shown_ = frameBitmap_;  // the frame composed at the previous tick goes on the screen now
  update();
  if (FrameShown) FrameShown(player_.VideoPos());
  try {
    const NextFrame next = player_.Tick(VideoMult(), tickDiag_);
    if (next.ended) {
      Timer1->stop();
      if (PlaybackEnded) PlaybackEnded(next.step);
      return;
    }
    Timer1->start(static_cast<int>(pacer_.Next(Clock(), next.intervalMs)));
    Draw(tickDiag_);
  } catch (const std::exception& e) {
    // A step that cannot be read (the file was shortened meanwhile) ends the playback.
    StopPlayback();
    tickDiag_.Message("error", e.what());
  }
}

void TVidFrm::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), shown_);
}

}  // namespace hulvex
