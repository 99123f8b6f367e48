#include "app/channels_frm.h"

#include <QAbstractSlider>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>
#include <exception>
#include <limits>

#include "analysis/iso2631.h"
#include "run/channel_series.h"

namespace hulvex {
namespace {

// A zoom stops at this many step intervals across the plot.
constexpr double kFewestSteps = 4;

namespace an = analysis;

const QStringList kStatsColumns{QStringLiteral("Count"), QStringLiteral("Mean"), QStringLiteral("Min"),
                                QStringLiteral("Max"),   QStringLiteral("StdDev"), QStringLiteral("Rms")};
// Short enough for a narrow window; each header's tooltip names the figure as `hulvex stats` does.
const QStringList kImpactColumns{QStringLiteral("Peaks"),          QStringLiteral("Per\nminute"),
                                 QStringLiteral("A1/3\ng"),         QStringLiteral("A1/10\ng"),
                                 QStringLiteral("A1/100\ng"),       QStringLiteral("Largest\ng"),
                                 QStringLiteral("Weighted\nrms m/s²"), QStringLiteral("VDV\nm/s^1.75"),
                                 QStringLiteral("MTVV\nm/s²")};
const QStringList kImpactFields{QStringLiteral("PeakCount"), QStringLiteral("PeaksPerMinute"), QStringLiteral("A1_3"),
                                QStringLiteral("A1_10"),     QStringLiteral("A1_100"),         QStringLiteral("Largest"),
                                QStringLiteral("WeightedRms"), QStringLiteral("Vdv"),          QStringLiteral("Mtvv")};
constexpr int kFirstIsoColumn = 6;

QTableWidget* NewTable(const QString& name, const QStringList& columns, QWidget* parent) {
  auto* table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(columns);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setFocusPolicy(Qt::NoFocus);  // the window's keys stay the window's
  table->setSelectionMode(QAbstractItemView::NoSelection);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  table->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return table;
}

// A figure, or "—" with the reason it is missing as the tooltip.
void SetCell(QTableWidget* table, int row, int column, const QString& text, const std::string& reason = {}) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (!reason.empty()) item->setToolTip(QString::fromStdString(reason));
  table->setItem(row, column, item);
}
void SetFigure(QTableWidget* table, int row, int column, const an::Maybe<double>& v) {
  if (v.has_value()) {
    SetCell(table, row, column, FigureText(*v));
  } else {
    SetCell(table, row, column, QStringLiteral("—"), v.Reason);
  }
}
void SetFigure(QTableWidget* table, int row, int column, double v) { SetCell(table, row, column, FigureText(v)); }
void SetMissingRow(QTableWidget* table, int row, int firstColumn, int endColumn, const std::string& reason) {
  for (int c = firstColumn; c < endColumn; ++c) SetCell(table, row, c, QStringLiteral("—"), reason);
}

QString MissingText(const std::vector<int>& missing, int lastChannel) {
  QString list;
  for (int c : missing) {
    if (!list.isEmpty()) list += QStringLiteral(", ");
    list += QStringLiteral("channel %1").arg(c);
    const ChannelInfo d = ChannelInfoOf(c);
    if (d.Unit != "raw") list += QStringLiteral(" (%1)").arg(QString::fromStdString(d.Name));
  }
  return QStringLiteral("Not plotted: this run stores channels 0 to %1 only, so %2 %3 missing.")
      .arg(lastChannel)
      .arg(list)
      .arg(missing.size() == 1 ? QStringLiteral("is") : QStringLiteral("are"));
}

}  // namespace

QString FigureText(double v) { return QString::number(v, 'g', 5); }

TChannelsFrm::TChannelsFrm(QWidget* owner, ViewerSession& session, CommandMessages& messages,
                           std::function<QRect()> busyArea)
    : QWidget(owner, Qt::Window), owner_(owner), session_(session), messages_(messages), busyArea_(std::move(busyArea)) {
  setObjectName(QStringLiteral("ChannelsFrm"));
  setWindowTitle(QStringLiteral("Channels"));
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(900, 640);
  connect(&session_, &ViewerSession::RunOpened, this, &TChannelsFrm::ShowRun);
  connect(&session_, &ViewerSession::RunClosing, this, &TChannelsFrm::CloseRun);
  connect(&session_, &ViewerSession::StepChanged, this, [this](std::int32_t s) { SetCursorStep(s); });
  connect(&session_, &ViewerSession::FrameShownAt, this, &TChannelsFrm::SetCursorStep);
  connect(&session_, &ViewerSession::StatisticsReady, this, &TChannelsFrm::ShowStatistics);

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

  StatsTable = NewTable(QStringLiteral("StatsTable"), kStatsColumns, this);
  StatsTable->setToolTip(QStringLiteral("Statistics of the visible time range, in the plots' units"));
  layout->addWidget(StatsTable);
  ImpactLbl = new QLabel(QStringLiteral("Impacts of the vertical acceleration (heights above the visible range's mean); "
                                        "ISO 2631-1 ride quality %1")
                             .arg(QString::fromUtf8(an::kIsoLocationNote.data(), static_cast<qsizetype>(an::kIsoLocationNote.size()))),
                         this);
  ImpactLbl->setObjectName(QStringLiteral("ImpactLbl"));
  ImpactLbl->setWordWrap(true);
  layout->addWidget(ImpactLbl);
  ImpactTable = NewTable(QStringLiteral("ImpactTable"), kImpactColumns, this);
  ImpactTable->setRowCount(1);
  ImpactTable->setVerticalHeaderLabels({QStringLiteral("vertical acceleration, g")});
  for (int c = 0; c < ImpactTable->columnCount(); ++c) {
    QString tip = kImpactFields[c];
    if (c >= kFirstIsoColumn)
      tip += QStringLiteral(", ") + QString::fromUtf8(an::kIsoLocationNote.data(), static_cast<qsizetype>(an::kIsoLocationNote.size()));
    ImpactTable->horizontalHeaderItem(c)->setToolTip(tip);
  }
  layout->addWidget(ImpactTable);

  auto* hint = new QLabel(QStringLiteral("Click or drag: go to that time   Wheel: zoom   Right-drag or Shift-drag: pan   "
                                         "Ctrl-drag: zoom to a range   Double-click: whole run   ← →: one step   "
                                         "] [: next / previous peak above A1/10"),
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

void TChannelsFrm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_BracketRight || event->key() == Qt::Key_BracketLeft) {
    MoveToPeak(event->key() == Qt::Key_BracketRight ? 1 : -1);
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TChannelsFrm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  PublishRange();
}

void TChannelsFrm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) session_.ClearVisibleRange();  // no statistics for a range nobody sees
}

void TChannelsFrm::PublishRange() {
  if (const auto r = VisibleRange()) session_.SetVisibleRange(r->first, r->second);
}

void TChannelsFrm::PlaceBeside() {
  // To the right of the main window and of the video window, as wide as the screen allows.
  const QRect mainFrame = owner_->frameGeometry();
  const QRect busy = busyArea_ ? busyArea_() : mainFrame;
  const int left = std::max(mainFrame.right(), busy.right()) + 12;
  const QScreen* screen = owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  const int width = std::clamp(free.right() - left - 12, 480, 1000);
  const int height = std::clamp(free.bottom() - mainFrame.top() - 40, 400, 720);
  setGeometry(left, mainFrame.top() + 30, width, height);
  placed_ = true;
}

void TChannelsFrm::ShowRun() {
  CloseRun();
  const LoadedRun& run = session_.Reference();
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
  ShowStatistics();
  MissingLbl->hide();
  EmptyLbl->show();
  hide();
}

ChannelPlot* TChannelsFrm::AddPlot(const ChannelSeries& series) {
  auto* plot = new ChannelPlot(series.Channel, run_->History.StepTimes, series.Values, this);
  plots_.push_back(plot);
  plotLayout_->addWidget(plot, 1);
  connect(plot, &ChannelPlot::TimePicked, &session_, &ViewerSession::SetTime);
  connect(plot, &ChannelPlot::RangeRequested, this, &TChannelsFrm::SetTimeRange);
  connect(plot, &ChannelPlot::ResetRequested, this, &TChannelsFrm::ResetTimeRange);
  connect(plot, &ChannelPlot::SliderActionRequested, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: return session_.Step(StepAction::Previous);
      case QAbstractSlider::SliderSingleStepAdd: return session_.Step(StepAction::Next);
      case QAbstractSlider::SliderPageStepSub: return session_.Step(StepAction::PagePrevious);
      case QAbstractSlider::SliderPageStepAdd: return session_.Step(StepAction::PageNext);
      case QAbstractSlider::SliderToMinimum: return session_.Step(StepAction::First);
      case QAbstractSlider::SliderToMaximum: return session_.Step(StepAction::Last);
      default: return;
    }
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

bool TChannelsFrm::MoveToPeak(int direction) {
  if (!impacts_.has_value() || !impacts_->A1_10.has_value()) return false;
  const double level = *impacts_->A1_10;
  const std::vector<an::Peak>& peaks = impacts_->Peaks;
  const auto reaches = [&](const an::Peak& p) { return p.Height >= level; };
  const auto from = static_cast<std::size_t>(std::max(cursor_, 0));
  const an::Peak* to = nullptr;
  if (direction > 0) {
    const auto it = std::find_if(peaks.begin(), peaks.end(), [&](const an::Peak& p) { return p.Step > from && reaches(p); });
    if (it != peaks.end()) to = &*it;
  } else {
    const auto it = std::find_if(peaks.rbegin(), peaks.rend(), [&](const an::Peak& p) { return p.Step < from && reaches(p); });
    if (it != peaks.rend()) to = &*it;
  }
  if (!to) return false;
  session_.SetStep(static_cast<std::int32_t>(to->Step));
  return true;
}

void TChannelsFrm::ShowStatistics() {
  const WindowStatistics* stats = run_ && !plots_.empty() ? session_.Statistics() : nullptr;
  const std::string pending = run_ ? (plots_.empty() ? "no channel is plotted" : "being computed") : "no run is open";
  StatsTable->setRowCount(static_cast<int>(plots_.size()));
  QStringList names;
  for (std::size_t k = 0; k < plots_.size(); ++k) {
    const int row = static_cast<int>(k);
    names << plots_[k]->Title();
    const auto found = stats ? std::find_if(stats->Channels.begin(), stats->Channels.end(),
                                            [&](const auto& c) { return c.first == plots_[k]->Channel(); })
                             : decltype(stats->Channels.begin()){};
    if (!stats || found == stats->Channels.end()) {
      SetMissingRow(StatsTable, row, 0, StatsTable->columnCount(), pending);
      continue;
    }
    const an::Maybe<an::ChannelStatistics>& s = found->second;
    if (!s.has_value()) {
      SetMissingRow(StatsTable, row, 0, StatsTable->columnCount(), s.Reason);
      continue;
    }
    SetCell(StatsTable, row, 0, QString::number(s->Count));
    SetFigure(StatsTable, row, 1, s->Mean);
    SetFigure(StatsTable, row, 2, s->Min);
    SetFigure(StatsTable, row, 3, s->Max);
    SetFigure(StatsTable, row, 4, s->StdDev);
    SetFigure(StatsTable, row, 5, s->Rms);
  }
  StatsTable->setVerticalHeaderLabels(names);
  ShowImpacts(stats, pending);
}

void TChannelsFrm::ShowImpacts(const WindowStatistics* stats, const std::string& pending) {
  const auto isAcceleration = [](ChannelPlot* p) { return p->Channel() == kChAcceleration; };
  const auto found = std::find_if(plots_.begin(), plots_.end(), isAcceleration);
  ChannelPlot* acceleration = found != plots_.end() ? *found : nullptr;
  const std::string notPlotted = run_ ? "the vertical acceleration (channel 2) is not plotted" : pending;
  impacts_ = !acceleration ? an::Maybe<an::ImpactStatistics>::Missing(notPlotted)
             : stats       ? stats->Impacts
                           : an::Maybe<an::ImpactStatistics>::Missing(pending);
  const auto iso = !acceleration ? an::Maybe<an::IsoFigures>::Missing(notPlotted)
                   : stats       ? stats->Iso
                                 : an::Maybe<an::IsoFigures>::Missing(pending);
  if (impacts_.has_value()) {
    const an::ImpactStatistics& im = *impacts_;
    SetCell(ImpactTable, 0, 0, QString::number(im.PeakCount));
    SetFigure(ImpactTable, 0, 1, im.PeaksPerMinute);
    SetFigure(ImpactTable, 0, 2, im.A1_3);
    SetFigure(ImpactTable, 0, 3, im.A1_10);
    SetFigure(ImpactTable, 0, 4, im.A1_100);
    if (im.Largest.has_value()) {
      SetFigure(ImpactTable, 0, 5, im.Largest->Height);
    } else {
      SetCell(ImpactTable, 0, 5, QStringLiteral("—"), im.Largest.Reason);
    }
  } else {
    SetMissingRow(ImpactTable, 0, 0, kFirstIsoColumn, impacts_.Reason);
  }
  if (iso.has_value()) {
    SetFigure(ImpactTable, 0, kFirstIsoColumn, iso->WeightedRms);
    SetFigure(ImpactTable, 0, kFirstIsoColumn + 1, iso->Vdv);
    SetFigure(ImpactTable, 0, kFirstIsoColumn + 2, iso->Mtvv);
  } else {
    SetMissingRow(ImpactTable, 0, kFirstIsoColumn, ImpactTable->columnCount(), iso.Reason);
  }
  if (acceleration) MarkPeaks(*acceleration);
}

void TChannelsFrm::MarkPeaks(ChannelPlot& acceleration) {
  std::vector<double> t, v;
  double level = std::numeric_limits<double>::quiet_NaN();
  if (impacts_.has_value()) {
    for (const an::Peak& p : impacts_->Peaks) {
      t.push_back(p.Time);
      v.push_back(impacts_->Mean + p.Height);
    }
    if (impacts_->A1_10.has_value()) level = impacts_->Mean + *impacts_->A1_10;
  }
  acceleration.SetMarks(t, v, level);
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
  // The curves follow a drag at once; the statistics come when computed, the latest range's last.
  PublishRange();
}

std::optional<std::pair<double, double>> TChannelsFrm::VisibleRange() const {
  if (!run_ || plots_.empty() || !isVisible()) return std::nullopt;
  const QCPRange r = plots_.front()->TimeRange();
  return std::pair{r.lower, r.upper};
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
    session_.HoldChannel(channel, messages_);
    const ChannelSeries& series = *FindSeries(*run_, channel);
    QGuiApplication::restoreOverrideCursor();
    const QCPRange range = plots_.empty() ? QCPRange(run_->History.StepTimes.front(), run_->History.StepTimes.back())
                                          : plots_.front()->TimeRange();
    ChannelPlot* plot = AddPlot(series);
    Relabel();
    plot->SetTimeRange(range.lower, range.upper);
    plot->SetCursorStep(cursor_);
    ShowStatistics();
  } catch (const std::exception& e) {
    QGuiApplication::restoreOverrideCursor();
    messages_.Message("error", e.what());
  }
  messages_.Flush();
}

void TChannelsFrm::RemoveChannel(int channel) {
  const auto it = std::find_if(plots_.begin(), plots_.end(), [&](ChannelPlot* p) { return p->Channel() == channel; });
  if (it == plots_.end()) return;
  delete *it;
  plots_.erase(it);
  session_.ReleaseChannel(channel);  // after the plot that viewed its values is gone
  Relabel();
  ShowStatistics();
}

}  // namespace hulvex
