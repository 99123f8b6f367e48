#include "video/compared_window.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

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

void TComparedFrm::DropViews() { views_.clear(); }

void TComparedFrm::Rebuild() {
  std::vector<const LoadedRun*> runs;
  for (std::size_t k = 1; k < session_.RunCount(); ++k) runs.push_back(&session_.Run(k));
  views_ = MakeComparedViews(runs);
  const QSize size = views_.empty() ? QSize(0, 0) : ComparedFrameSize(static_cast<int>(views_.size()), ComparedLayout::Stacked, 1);
  picture_ = QImage(size, QImage::Format_RGB32);
  picture_.fill(Qt::white);
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
  StartComparedViews(views_, TimeOfStep(step), *messages_);
}

void TComparedFrm::DrawReasonPane(int index) {
  const QRect pane = StackedPane(index, 1);
  QPainter painter(&picture_);
  painter.fillRect(pane, Qt::white);
  painter.setPen(Qt::black);
  const ComparedView& view = views_[static_cast<std::size_t>(index)];
  painter.drawText(pane.adjusted(kGap, kGap, -kGap, -kNameBoxHeight - kGap), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                   QStringLiteral("Not drawn: %1").arg(QString::fromStdString(view.Reason)));
  painter.end();
  DrawRunNameBox(picture_, pane, view.Name, 1);
}

void TComparedFrm::DrawAt(std::int32_t step, bool redraw) {
  step_ = step;
  if (views_.empty() || !isVisible()) return;  // drawn afresh when shown
  const double t = TimeOfStep(step);
  for (std::size_t i = 0; i < views_.size(); ++i) {
    const int index = static_cast<int>(i);
    ComparedView& view = views_[i];
    if (!view.Playback) {
      if (redraw) DrawReasonPane(index);
      continue;
    }
    try {
      if (view.Playback->ShowTime(t, *messages_) || redraw)
        DrawStackedPane(picture_, index, *view.Playback, view.Name, 1, *messages_);
    } catch (const std::exception& e) {
      messages_->Message("error", view.Name + ": " + e.what());
    }
  }
  canvas_->update();
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
  QPoint at(std::max(free.left(), free.right() - size.width()), free.top());
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
