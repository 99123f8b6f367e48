#include "app/channels_frm.h"

#include <QAbstractSlider>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>

#include <algorithm>
#include <exception>

#include "run/channel_series.h"

namespace hulvex {
namespace {

// A zoom stops at this many step intervals across the plot.
constexpr double kFewestSteps = 4;

QString MissingText(const std::vector<int>& missing, int lastChannel) {
  QString list;
  for (int c : missing) {
    if (!list.isEmpty()) list += QStringLiteral(", ");
    list += QStringLiteral("channel %1").arg(c);
    const ChannelDisplay d = DisplayOf(c);
    if (!d.Unit.empty()) list += QStringLiteral(" (%1)").arg(QString::fromStdString(d.Name));
  }
  return QStringLiteral("Not plotted: this run stores channels 0 to %1 only, so %2 %3 missing.")
      .arg(lastChannel)
      .arg(list)
      .arg(missing.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

}  // namespace

TChannelsFrm::TChannelsFrm(QWidget* owner, const QWidget* video, QScrollBar* timeBar, CommandMessages& messages)
    : QWidget(owner, Qt::Window), owner_(owner), video_(video), timeBar_(timeBar), messages_(messages) {
  setObjectName(QStringLiteral("ChannelsFrm"));
  setWindowTitle(QStringLiteral("Channels"));
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(900, 640);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 4);
  layout->setSpacing(4);
  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(QStringLiteral("Channel:"), this));
  ChannelBox = new QSpinBox(this);
  ChannelBox->setObjectName(QStringLiteral("ChannelBox"));
  ChannelBox->setRange(0, 0);
  controls->addWidget(ChannelBox);
  AddBtn = new QPushButton(QStringLiteral("Add plot"), this);
  AddBtn->setObjectName(QStringLiteral("AddBtn"));
  controls->addWidget(AddBtn);
  controls->addStretch();
  layout->addLayout(controls);
  connect(AddBtn, &QPushButton::clicked, this, [this] { AddChannel(ChannelBox->value()); });
  connect(ChannelBox, &QSpinBox::editingFinished, this, [this] {
    if (ChannelBox->hasFocus()) AddChannel(ChannelBox->value());
  });

  MissingLbl = new QLabel(this);
  MissingLbl->setObjectName(QStringLiteral("MissingLbl"));
  MissingLbl->setWordWrap(true);
  MissingLbl->setStyleSheet(QStringLiteral("QLabel { background: #fff3c4; padding: 2px 4px; }"));
  MissingLbl->hide();
  layout->addWidget(MissingLbl);

  EmptyLbl = new QLabel(QStringLiteral("No run is open."), this);
  EmptyLbl->setAlignment(Qt::AlignCenter);
  layout->addWidget(EmptyLbl, 1);

  plotLayout_ = new QVBoxLayout;
  plotLayout_->setSpacing(0);
  layout->addLayout(plotLayout_, 1);

  auto* hint = new QLabel(QStringLiteral("Click or drag: go to that time   Wheel: zoom   Right-drag or Shift-drag: pan   "
                                         "Ctrl-drag: zoom to a range   Double-click: whole run   ← →: one step"),
                          this);
  hint->setStyleSheet(QStringLiteral("QLabel { color: #555; }"));
  hint->setWordWrap(true);  // the window may be narrower than the line
  layout->addWidget(hint);

  // The window goes when the main window is closed (not when it is only minimized).
  owner_->installEventFilter(this);
}

bool TChannelsFrm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_ && event->type() == QEvent::Hide && !event->spontaneous()) close();
  return QWidget::eventFilter(watched, event);
}

void TChannelsFrm::PlaceBeside() {
  // To the right of the main window and of the video window, as wide as the screen allows.
  const QRect mainFrame = owner_->frameGeometry();
  const int left = std::max(mainFrame.right(), video_ ? video_->frameGeometry().right() : 0) + 12;
  const QScreen* screen = owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  const int width = std::clamp(free.right() - left - 12, 480, 1000);
  const int height = std::clamp(free.bottom() - mainFrame.top() - 40, 400, 720);
  setGeometry(left, mainFrame.top() + 30, width, height);
  placed_ = true;
}

void TChannelsFrm::ShowRun(LoadedRun& run) {
  CloseRun();
  run_ = &run;
  cursor_ = 0;
  ChannelBox->setRange(0, run.History.Header.LastChannel);
  for (const ChannelSeries& s : run.Series) AddPlot(s);
  const std::vector<int> missing = MissingChannels(run);
  MissingLbl->setText(missing.empty() ? QString() : MissingText(missing, run.History.Header.LastChannel));
  MissingLbl->setVisible(!missing.empty());
  Relabel();
  if (!placed_) PlaceBeside();
  show();
  ResetTimeRange();
  SetCursorStep(0);
}

void TChannelsFrm::CloseRun() {
  for (ChannelPlot* p : plots_) delete p;
  plots_.clear();
  run_ = nullptr;
  MissingLbl->hide();
  EmptyLbl->show();
  hide();
}

ChannelPlot* TChannelsFrm::AddPlot(const ChannelSeries& series) {
  auto* plot = new ChannelPlot(series.Channel, run_->History.StepTimes, series.Values, this);
  plots_.push_back(plot);
  plotLayout_->addWidget(plot, 1);
  connect(plot, &ChannelPlot::TimePicked, this, &TChannelsFrm::MoveTo);
  connect(plot, &ChannelPlot::RangeRequested, this, &TChannelsFrm::SetTimeRange);
  connect(plot, &ChannelPlot::ResetRequested, this, &TChannelsFrm::ResetTimeRange);
  connect(plot, &ChannelPlot::SliderActionRequested, this, [this](int action) {
    if (timeBar_->isEnabled()) timeBar_->triggerAction(static_cast<QAbstractSlider::SliderAction>(action));
  });
  connect(plot, &ChannelPlot::RemoveRequested, this, &TChannelsFrm::RemoveChannel, Qt::QueuedConnection);
  EmptyLbl->hide();
  return plot;
}

void TChannelsFrm::Relabel() {
  for (std::size_t k = 0; k < plots_.size(); ++k) plots_[k]->SetTimeLabels(k + 1 == plots_.size());
  EmptyLbl->setText(run_ ? QStringLiteral("No channel is plotted: add one by its number.") : QStringLiteral("No run is open."));
  EmptyLbl->setVisible(plots_.empty());
}

void TChannelsFrm::MoveTo(double t) {
  if (!run_ || !timeBar_->isEnabled()) return;
  const std::int32_t s = StepNearest(run_->History.StepTimes, t);
  if (s < 0) return;
  // As a user drags the thumb: the bar's own scroll event moves the readouts, the video and the cursor.
  timeBar_->setSliderPosition(s);
  timeBar_->triggerAction(QAbstractSlider::SliderMove);
}

void TChannelsFrm::SetCursorStep(std::int32_t s) {
  cursor_ = s;
  if (run_ && !plots_.empty() && s >= 0 && static_cast<std::size_t>(s) < run_->History.StepTimes.size()) {
    // A cursor that leaves the zoomed range turns the page, a tenth of the range behind it.
    const double t = run_->History.StepTimes[static_cast<std::size_t>(s)];
    const QCPRange r = plots_.front()->TimeRange();
    if (t < r.lower || t > r.upper) SetTimeRange(t - 0.1 * r.size(), t + 0.9 * r.size());
  }
  for (ChannelPlot* p : plots_) p->SetCursorStep(s);
}

void TChannelsFrm::SetTimeRange(double t0, double t1) {
  if (!run_ || run_->History.StepTimes.empty()) return;
  const std::vector<double>& t = run_->History.StepTimes;
  const double first = t.front(), last = t.back();
  const double whole = last - first;
  const double fewest = std::min(whole, kFewestSteps * whole / std::max<double>(1.0, static_cast<double>(t.size() - 1)));
  double width = std::clamp(t1 - t0, fewest, whole);
  if (!(width > 0)) width = whole;
  t0 = std::clamp(t0, first, last - width);
  for (ChannelPlot* p : plots_) p->SetTimeRange(t0, t0 + width);
}

void TChannelsFrm::ResetTimeRange() {
  if (!run_ || run_->History.StepTimes.empty()) return;
  SetTimeRange(run_->History.StepTimes.front(), run_->History.StepTimes.back());
}

void TChannelsFrm::AddChannel(int channel) {
  if (!run_) return;
  if (std::any_of(plots_.begin(), plots_.end(), [&](ChannelPlot* p) { return p->Channel() == channel; })) return;
  try {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const ChannelSeries& series = HoldChannel(*run_, channel, messages_);
    QGuiApplication::restoreOverrideCursor();
    const QCPRange range = plots_.empty() ? QCPRange(run_->History.StepTimes.front(), run_->History.StepTimes.back())
                                          : plots_.front()->TimeRange();
    ChannelPlot* plot = AddPlot(series);
    Relabel();
    plot->SetTimeRange(range.lower, range.upper);
    plot->SetCursorStep(cursor_);
  } catch (const std::exception& e) {
    QGuiApplication::restoreOverrideCursor();
    messages_.Message(e.what());
  }
  messages_.Flush();
}

void TChannelsFrm::RemoveChannel(int channel) {
  const auto it = std::find_if(plots_.begin(), plots_.end(), [&](ChannelPlot* p) { return p->Channel() == channel; });
  if (it == plots_.end()) return;
  delete *it;
  plots_.erase(it);
  if (run_) ReleaseChannel(*run_, channel);
  Relabel();
}

}  // namespace hulvex
