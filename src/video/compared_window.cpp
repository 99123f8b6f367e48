#include "video/compared_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

#include "export/compared_frames.h"
#include "video/frame_drawing.h"

namespace hulvex {
namespace {

// Shows a picture the window owns, at its size.
class Canvas : public QWidget {
public:
  Canvas(const QImage& picture, QWidget* parent) : QWidget(parent), picture_(picture) {}

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
  }

private:
  const QImage& picture_;
};

constexpr int kGap = 12;  // between the window and those it is placed beside

// A white pane saying why `view`'s run is not drawn, with its name box.
void DrawReasonPane(QImage& picture, int index, const ComparedView& view) {
  const QRect pane = StackedPane(index, 1);
  QPainter painter(&picture);
  painter.fillRect(pane, Qt::white);
  painter.setPen(Qt::black);
  painter.drawText(pane.adjusted(kGap, kGap, -kGap, -kNameBoxHeight - kGap), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   QStringLiteral("Not drawn: %1").arg(QString::fromStdString(view.Reason)));
  painter.end();
  DrawRunNameBox(picture, pane, view.Name, 1);
}

}  // namespace

TComparedFrm::TComparedFrm(QWidget* owner, ViewerSession& session, std::function<QRect()> busyArea)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint),
      session_(session),
      busyArea_(std::move(busyArea)) {
  setObjectName(QStringLiteral("ComparedFrm"));
  setWindowTitle(QStringLiteral("Compared Runs"));
  setAttribute(Qt::WA_ShowWithoutActivating);  // the keys stay with the window the user works in
  setFocusPolicy(Qt::NoFocus);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  scroll_ = new QScrollArea(this);
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setFocusPolicy(Qt::NoFocus);
  scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  canvas_ = new Canvas(picture_, scroll_);
  canvas_->setObjectName(QStringLiteral("Panes"));
  scroll_->setWidget(canvas_);
  layout->addWidget(scroll_);
  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("StatusLine"));
  messages_ = std::make_unique<StatusLineDiagnostics>(status_);
  layout->addWidget(status_);

  pool_.setMaxThreadCount(1);
  connect(&session_, &ViewerSession::ComparedRunsClosing, this, &TComparedFrm::DropViews);
  connect(&session_, &ViewerSession::ComparedRunsChanged, this, &TComparedFrm::Rebuild);
  connect(&session_, &ViewerSession::OverlayHullsChanged, this, &TComparedFrm::ShowOrHide);
  connect(&session_, &ViewerSession::FrameShownAt, this, [this](std::int32_t step) { DrawAt(step, false); });
  connect(&session_, &ViewerSession::StepChanged, this, [this](std::int32_t step, StepOrigin origin) {
    // A move or an open shows the step as Go would start from it; Stop and the end keep the camera.
    if (origin == StepOrigin::Moved || origin == StepOrigin::Opened) Restart(step);
    DrawAt(step, false);
  });
  connect(&session_, &ViewerSession::PlayingChanged, this, [this](bool playing) {
    if (!playing) return;
    Restart(session_.CurrentStep());
    DrawAt(session_.CurrentStep(), false);
  });
}

TComparedFrm::~TComparedFrm() { StopDrawing(); }

QString TComparedFrm::TitleOf(const ViewerSession& session) {
  QStringList names;
  for (std::size_t k = 1; k < session.RunCount(); ++k)
    names.push_back(QString::fromStdString(RunDisplayName(session.Run(k))));
  return QStringLiteral("Compared Runs — ") + names.join(QStringLiteral(", "));
}

double TComparedFrm::TimeOfStep(std::int32_t step) const {
  const std::vector<double>& times = session_.Reference().History.StepTimes;
  if (!session_.RunLoaded() || times.empty()) return 0;
  return times[static_cast<std::size_t>(std::clamp<std::int32_t>(step, 0, static_cast<std::int32_t>(times.size()) - 1))];
}

void TComparedFrm::DropViews() {
  StopDrawing();
  views_.clear();
}

void TComparedFrm::StopDrawing() {
  pool_.waitForDone();
  busy_ = false;
  pending_.reset();
  ++generation_;
}

void TComparedFrm::Rebuild() {
  StopDrawing();
  std::vector<const LoadedRun*> runs;
  for (std::size_t k = 1; k < session_.RunCount(); ++k) runs.push_back(&session_.Run(k));
  views_ = MakeComparedViews(runs);
  const QSize size = views_.empty() ? QSize(0, 0) : ComparedFrameSize(static_cast<int>(views_.size()), ComparedLayout::Stacked, 1);
  work_ = QImage(size, QImage::Format_RGB32);
  work_.fill(Qt::white);
  picture_ = work_;
  canvas_->setFixedSize(size);
  setWindowTitle(TitleOf(session_));
  messages_->Clear();
  if (!views_.empty()) {
    Restart(session_.CurrentStep());
    // As high as the panes, within the screen; wider by a scroll bar when they do not fit.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const int room = screen ? screen->availableGeometry().height() - 60 : size.height();
    const int high = std::min(size.height(), std::max(room, kFrameHeight));
    const int bar = high < size.height() ? scroll_->verticalScrollBar()->sizeHint().width() : 0;
    setFixedSize(size.width() + bar, high + status_->maximumHeight());
  }
  ShowOrHide();
  DrawAt(session_.CurrentStep(), true);
}

void TComparedFrm::Restart(std::int32_t step) {
  if (views_.empty()) return;
  messages_->Clear();
  Request({TimeOfStep(step), TimeOfStep(step), false});
}

void TComparedFrm::DrawAt(std::int32_t step, bool redraw) {
  step_ = step;
  if (views_.empty() || !isVisible()) return;  // drawn afresh when shown
  Request({std::nullopt, TimeOfStep(step), redraw});
}

void TComparedFrm::Request(const DrawRequest& request) {
  if (!busy_) {
    StartDrawing(request);
    return;
  }
  DrawRequest merged = pending_.value_or(DrawRequest{});
  if (request.RestartAt) merged.RestartAt = request.RestartAt;
  merged.T = request.T;
  merged.Redraw = merged.Redraw || request.Redraw;
  pending_ = merged;
}

void TComparedFrm::StartDrawing(DrawRequest request) {
  busy_ = true;
  const std::uint64_t generation = generation_;
  pool_.start([this, request, generation] {
    // The views and work_ are this task's until it hands back (StopDrawing waits for it).
    CollectingDiagnostics diag;
    if (request.RestartAt) StartComparedViews(views_, *request.RestartAt, diag);
    bool drawn = false;
    for (std::size_t i = 0; i < views_.size(); ++i) {
      const int index = static_cast<int>(i);
      ComparedView& view = views_[i];
      try {
        if (view.Playback) {
          if (view.Playback->ShowTime(request.T, diag) || request.Redraw) {
            DrawStackedPane(work_, index, *view.Playback, view.Name, 1, diag);
            drawn = true;
          }
        } else if (request.Redraw || request.RestartAt) {
          DrawReasonPane(work_, index, view);
          drawn = true;
        }
      } catch (const std::exception& e) {
        diag.Message("error", view.Name + ": " + e.what());
      }
    }
    QImage shown = drawn ? work_.copy() : QImage();
    QMetaObject::invokeMethod(
        this,
        [this, generation, shown = std::move(shown), reports = std::move(diag.diagnostics)] {
          if (generation != generation_) return;  // the views were replaced meanwhile
          busy_ = false;
          for (const Diagnostic& d : reports) messages_->Report(d);
          if (!shown.isNull()) {
            picture_ = shown;
            canvas_->update();
          }
          if (pending_) {
            const DrawRequest next = *pending_;
            pending_.reset();
            StartDrawing(next);
          }
        },
        Qt::QueuedConnection);
  });
}

void TComparedFrm::ShowOrHide() {
  const bool wanted = !views_.empty() && !session_.OverlayHulls();
  if (wanted == isVisible()) return;
  if (!wanted) {
    hide();
    return;
  }
  if (!placed_) PlaceBeside();
  show();
}

void TComparedFrm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  DrawAt(step_ < 0 ? session_.CurrentStep() : step_, true);
}

void TComparedFrm::PlaceBeside() {
  // Below the main and Video windows, else to their right, else to their left, within the screen.
  const QRect busy = busyArea_ ? busyArea_() : QRect();
  const QScreen* screen = parentWidget() && parentWidget()->screen() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  const QSize size = frameSize().expandedTo(this->size());
  const QPoint candidates[] = {{busy.left(), busy.bottom() + kGap},
                               {busy.right() + kGap, busy.top()},
                               {busy.left() - kGap - size.width(), busy.top()}};
  // Else the screen's bottom-left corner: over the lower part of the main window (its case text),
  // not over the Channels window on the right.
  QPoint at(free.left(), std::max(free.top(), free.bottom() + 1 - size.height()));
  for (const QPoint& p : candidates) {
    if (free.contains(QRect(p, size))) {
      at = p;
      break;
    }
  }
  move(at);
  placed_ = true;
}

}  // namespace hulvex
