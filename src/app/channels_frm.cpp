#include "app/channels_frm.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <set>

#include "analysis/iso2631.h"
#include "common/error.h"
#include "common/number_format.h"
#include "export/compared_views.h"
#include "report/compare_report.h"
#include "report/statistics_report.h"
#include "video/run_colours.h"
#include "run/channel_series.h"

namespace hulvex {
namespace {

// Run k's colour in the plots, as in the overlaid video.
QColor RunQColor(std::size_t k) {
  const RunRgb c = RunColour(static_cast<int>(k));
  return QColor(c.R, c.G, c.B);
}


// A zoom stops at this many step intervals across the plot.
constexpr double kFewestSteps = 4;

namespace an = analysis;

// The figures are in each row's unit (its header); times in seconds.
const QStringList kStatsColumns{QStringLiteral("Count"),     QStringLiteral("Mean"),   QStringLiteral("Min"),
                                QStringLiteral("Min at, s"), QStringLiteral("Max"),    QStringLiteral("Max at, s"),
                                QStringLiteral("StdDev"),    QStringLiteral("Rms")};
const QStringList kMotionColumns{QStringLiteral("Cycles"), QStringLiteral("Significant double amplitude")};
// Each header's tooltip names the figure as `hulvex stats` does.
const QStringList kImpactColumns{QStringLiteral("Peaks"),        QStringLiteral("Per minute"),
                                 QStringLiteral("A1/3, g"),       QStringLiteral("A1/10, g"),
                                 QStringLiteral("A1/100, g"),     QStringLiteral("Largest, g"),
                                 QStringLiteral("Weighted rms, m/s²"), QStringLiteral("VDV, m/s^1.75"),
                                 QStringLiteral("MTVV, m/s²")};
const QStringList kImpactFields{QStringLiteral("PeakCount"), QStringLiteral("PeaksPerMinute"), QStringLiteral("A1_3"),
                                QStringLiteral("A1_10"),     QStringLiteral("A1_100"),         QStringLiteral("Largest"),
                                QStringLiteral("WeightedRms"), QStringLiteral("Vdv"),          QStringLiteral("Mtvv")};
constexpr int kFirstIsoColumn = 6;

QTableWidget* NewTable(const QString& name, const QStringList& columns, QWidget* parent) {
  auto* table = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  table->setObjectName(name);
  table->setHorizontalHeaderLabels(columns);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setFocusPolicy(Qt::ClickFocus);  // for Ctrl+C; the window's keys stay the window's
  table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table->setContextMenuPolicy(Qt::CustomContextMenu);
  table->setWordWrap(false);
  table->setTextElideMode(Qt::ElideNone);
  table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Columns as wide as their contents: a narrow window scrolls instead of cutting a figure.
  table->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  table->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table->horizontalHeader()->setStretchLastSection(false);
  table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  return table;
}

// Holds a table's headers at their widths while its cells are filled and sizes them to the
// contents once at the end: sized on every cell, a table re-measures all its cells each time.
class TableFill {
public:
  explicit TableFill(QTableWidget* table) : table_(table) {
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  }
  ~TableFill() {
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  }
  TableFill(const TableFill&) = delete;
  TableFill& operator=(const TableFill&) = delete;

private:
  QTableWidget* table_;
};

// A figure, or "—" with the reason it is missing as the tooltip.
void SetCell(QTableWidget* table, int row, int column, const QString& text, const std::string& reason = {}) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (!reason.empty()) item->setToolTip(QString::fromStdString(reason));
  table->setItem(row, column, item);
}
// A figure at 4 significant digits; every digit in the tooltip and in the cell's Qt::UserRole.
void SetFigure(QTableWidget* table, int row, int column, double v) {
  SetCell(table, row, column, FigureText(v));
  QTableWidgetItem* item = table->item(row, column);
  item->setData(Qt::UserRole, v);
  item->setToolTip(QString::fromStdString(FormatJsonNumber(v)));
}
void SetFigure(QTableWidget* table, int row, int column, const an::Maybe<double>& v) {
  if (v.has_value()) {
    SetFigure(table, row, column, *v);
  } else {
    SetCell(table, row, column, QStringLiteral("—"), v.Reason);
  }
}
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

// The figures of `channel` in a per-channel list of a statistics result, or nullptr.
template <typename T>
const T* FiguresOf(const std::vector<std::pair<int, T>>& list, int channel) {
  const auto it = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == channel; });
  return it == list.end() ? nullptr : &it->second;
}

}  // namespace

TChannelsFrm::TChannelsFrm(QWidget* owner, ViewerSession& session, CommandMessages& messages,
                           std::function<QRect()> busyArea)
    : QWidget(owner, Qt::Window), owner_(owner), session_(session), messages_(messages), busyArea_(std::move(busyArea)) {
  setObjectName(QStringLiteral("ChannelsFrm"));
  setWindowTitle(QStringLiteral("Channels"));
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(900, 640);
  connect(&session_, &ViewerSession::RunOpened, this, &TChannelsFrm::ShowRun);
  connect(&session_, &ViewerSession::RunClosing, this, &TChannelsFrm::CloseRun);
  connect(&session_, &ViewerSession::RunGrew, this, &TChannelsFrm::RunGrew);
  connect(&session_, &ViewerSession::StepChanged, this, [this](std::int32_t s) { SetCursorStep(s); });
  connect(&session_, &ViewerSession::FrameShownAt, this, &TChannelsFrm::SetCursorStep);
  connect(&session_, &ViewerSession::StatisticsReady, this, &TChannelsFrm::ShowStatistics);
  connect(&session_, &ViewerSession::ComparedRunsClosing, this, [this] {
    for (ChannelPlot* p : plots_) p->SetComparedCurves({});  // before their values are freed
  });
  connect(&session_, &ViewerSession::ComparedRunsChanged, this, [this] {
    ShowRunsBar();
    ShowComparedCurves();
    ShowStatistics();
  });

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
  AddBtn->setFocusPolicy(Qt::NoFocus);  // Space plays or stops; it never presses this button
  AddBtn->setAutoDefault(false);
  controls->addWidget(AddBtn);
  controls->addStretch();
  layout->addLayout(controls);
  connect(AddBtn, &QPushButton::clicked, this, [this] { AddChannel(ChannelBox->value()); });
  connect(ChannelBox, &QSpinBox::editingFinished, this, [this] {
    if (ChannelBox->hasFocus()) AddChannel(ChannelBox->value());
  });

  RunsBar = new QWidget(this);
  RunsBar->setObjectName(QStringLiteral("RunsBar"));
  auto* runsLayout = new QHBoxLayout(RunsBar);
  runsLayout->setContentsMargins(0, 0, 0, 0);
  ReferenceLbl = new QLabel(RunsBar);
  runsLayout->addWidget(ReferenceLbl);
  runsLayout->addStretch(1);
  RunsBar->hide();
  layout->addWidget(RunsBar);

  MissingLbl = new QLabel(this);
  MissingLbl->setObjectName(QStringLiteral("MissingLbl"));
  MissingLbl->setWordWrap(true);
  MissingLbl->setStyleSheet(QStringLiteral("QLabel { background: #fff3c4; padding: 2px 4px; }"));
  MissingLbl->hide();
  layout->addWidget(MissingLbl);

  // The plots, at least kMinPlotHeight each, in a vertical scroll area; the tables below them,
  // the two sharing the height through a splitter.
  Splitter = new QSplitter(Qt::Vertical, this);
  Splitter->setObjectName(QStringLiteral("Splitter"));
  Splitter->setChildrenCollapsible(false);
  layout->addWidget(Splitter, 1);
  PlotArea = new QScrollArea(Splitter);
  PlotArea->setObjectName(QStringLiteral("PlotArea"));
  PlotArea->setWidgetResizable(true);
  PlotArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  PlotArea->setFrameShape(QFrame::NoFrame);
  PlotArea->setFocusPolicy(Qt::NoFocus);
  plotPane_ = new QWidget;
  plotLayout_ = new QVBoxLayout(plotPane_);
  plotLayout_->setContentsMargins(0, 0, 0, 0);
  plotLayout_->setSpacing(0);
  EmptyLbl = new QLabel(QStringLiteral("Open a run (File ▸ Open)"), plotPane_);
  EmptyLbl->setObjectName(QStringLiteral("EmptyLbl"));
  EmptyLbl->setAlignment(Qt::AlignCenter);
  plotLayout_->addWidget(EmptyLbl, 1);
  PlotArea->setWidget(plotPane_);

  auto* tablesArea = new QScrollArea(Splitter);
  tablesArea->setWidgetResizable(true);
  tablesArea->setFrameShape(QFrame::NoFrame);
  tablesArea->setFocusPolicy(Qt::NoFocus);
  auto* tablesPane = new QWidget;
  auto* tables = new QVBoxLayout(tablesPane);
  tables->setContentsMargins(0, 2, 0, 0);
  tables->setSpacing(4);
  RangeLbl = new QLabel(tablesPane);
  RangeLbl->setObjectName(QStringLiteral("RangeLbl"));
  tables->addWidget(RangeLbl);
  StatsTable = NewTable(QStringLiteral("StatsTable"), kStatsColumns, tablesPane);
  StatsTable->setToolTip(QStringLiteral("Statistics of the visible time range, in each row's unit"));
  tables->addWidget(StatsTable);
  MotionTable = NewTable(QStringLiteral("MotionTable"), kMotionColumns, tablesPane);
  MotionTable->setRowCount(static_cast<int>(kMotionChannels.size()));
  tables->addWidget(MotionTable);

  // The impacts' caption on a line of its own, the fields that set them below it.
  ImpactLbl = new QLabel(QStringLiteral("Impacts of the vertical acceleration (heights above the visible range's mean); "
                                        "ISO 2631-1 ride quality %1")
                             .arg(QString::fromUtf8(an::kIsoLocationNote.data(), static_cast<qsizetype>(an::kIsoLocationNote.size()))),
                         tablesPane);
  ImpactLbl->setObjectName(QStringLiteral("ImpactLbl"));
  ImpactLbl->setWordWrap(true);
  tables->addWidget(ImpactLbl);
  auto* impactHead = new QHBoxLayout;
  const auto field = [&](const QString& label, const QString& name, const QString& tip) {
    impactHead->addWidget(new QLabel(label, tablesPane));
    auto* edit = new QLineEdit(tablesPane);
    edit->setObjectName(name);
    edit->setToolTip(tip);
    edit->setPlaceholderText(QStringLiteral("default"));
    edit->setMaximumWidth(80);
    impactHead->addWidget(edit);
    connect(edit, &QLineEdit::editingFinished, this, &TChannelsFrm::ReadImpactFields);
    return edit;
  };
  ThresholdEdit = field(QStringLiteral("Threshold, g:"), QStringLiteral("ThresholdEdit"),
                        QStringLiteral("Least height above the mean of a counted peak, g (empty: 0)"));
  impactHead->addSpacing(12);
  HysteresisEdit = field(QStringLiteral("Hysteresis, % of range:"), QStringLiteral("HysteresisEdit"),
                         QStringLiteral("Dead band of the crossings, % of the channel's range in the window (empty: the default)"));
  impactHead->addStretch(1);
  tables->addLayout(impactHead);
  ImpactTable = NewTable(QStringLiteral("ImpactTable"), kImpactColumns, tablesPane);
  ImpactTable->setRowCount(1);
  ImpactTable->setVerticalHeaderLabels({QStringLiteral("vertical acceleration, g")});
  for (int c = 0; c < ImpactTable->columnCount(); ++c) {
    QString tip = kImpactFields[c];
    if (c >= kFirstIsoColumn)
      tip += QStringLiteral(", ") + QString::fromUtf8(an::kIsoLocationNote.data(), static_cast<qsizetype>(an::kIsoLocationNote.size()));
    ImpactTable->horizontalHeaderItem(c)->setToolTip(tip);
  }
  tables->addWidget(ImpactTable);
  tables->addStretch();
  tablesArea->setWidget(tablesPane);
  for (QTableWidget* t : {StatsTable, MotionTable, ImpactTable})
    connect(t, &QWidget::customContextMenuRequested, this,
            [this, t](const QPoint& at) { ShowTableMenu(t, t->viewport()->mapToGlobal(at)); });
  Splitter->setStretchFactor(0, 3);
  Splitter->setStretchFactor(1, 2);

  auto* hint = new QLabel(QStringLiteral("Click or drag: go to that time   Wheel: zoom   Right-drag or Shift-drag: pan   "
                                         "Ctrl-drag: zoom to a range   Double-click: whole run   ← →: one step   "
                                         "] [: next / previous peak   Shift+] [: peaks above A1/3   Right click: menu"),
                          this);
  hint->setStyleSheet(QStringLiteral("QLabel { color: #555; }"));
  hint->setWordWrap(true);  // the window may be narrower than the line
  layout->addWidget(hint);

  ChooseImageFile = [this] { return ChoosePlotFile(this); };
  ChooseCsvFile = [this] {
    return QFileDialog::getSaveFileName(this, QStringLiteral("Save Statistics As"), QString(),
                                        QStringLiteral("CSV table (*.csv)"));
  };
  WatchKeys(this);
  ShowStatistics();
  Relabel();

  // The window goes when the main window is closed (not when it is only minimized).
  owner_->installEventFilter(this);
}

bool TChannelsFrm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_) {
    if (event->type() == QEvent::Hide && !event->spontaneous()) close();
    return QWidget::eventFilter(watched, event);
  }
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* w = qobject_cast<QWidget*>(watched);
      if (w && w->window() != this) break;  // a menu or a dialog of the window keeps its keys
      auto* key = static_cast<QKeyEvent*>(event);
      if (!WindowKey(watched, key)) break;
      // Taken here: neither a spin box nor a button sees it (Space never presses a button).
      if (event->type() == QEvent::ShortcutOverride) key->accept();
      return event->type() != QEvent::ShortcutOverride;
    }
    case QEvent::ChildAdded:
      if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child())) WatchKeys(child);
      break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

void TChannelsFrm::WatchKeys(QWidget* w) {
  w->installEventFilter(this);  // once per object, however often called
  for (QWidget* child : w->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool TChannelsFrm::WindowKey(QObject* watched, QKeyEvent* event) {
  const bool press = event->type() == QEvent::KeyPress;
  const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
  if (event->matches(QKeySequence::Copy)) {
    auto* table = qobject_cast<QTableWidget*>(watched);
    if (!table) return false;
    if (press) QGuiApplication::clipboard()->setText(TableText(*table, true));
    return true;
  }
  const int key = event->key();
  if (mods == Qt::ControlModifier && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    if (press) session_.ScaleVideoMult(key == Qt::Key_Up ? 0.5f : 2.0f);
    return true;
  }
  // ] and [; Shift+] and Shift+[, which a US layout gives as } and {.
  if (key == Qt::Key_BracketRight || key == Qt::Key_BracketLeft || key == Qt::Key_BraceRight || key == Qt::Key_BraceLeft) {
    const bool large = key == Qt::Key_BraceRight || key == Qt::Key_BraceLeft || (mods & Qt::ShiftModifier);
    const int direction = key == Qt::Key_BracketRight || key == Qt::Key_BraceRight ? 1 : -1;
    if (press) MoveToPeak(direction, large ? PeakKind::AboveA1_3 : PeakKind::Counted);
    return true;
  }
  if (mods != Qt::NoModifier) return false;
  std::optional<StepAction> action;
  switch (key) {
    case Qt::Key_Space:
      if (press && !event->isAutoRepeat()) {
        try {
          session_.PlayOrStop(messages_);
        } catch (const std::exception& e) {
          messages_.Message("error", e.what());
        }
        messages_.Flush();
      }
      return true;
    case Qt::Key_Left: action = StepAction::Previous; break;
    case Qt::Key_Right: action = StepAction::Next; break;
    case Qt::Key_PageUp: action = StepAction::PagePrevious; break;
    case Qt::Key_PageDown: action = StepAction::PageNext; break;
    case Qt::Key_Home: action = StepAction::First; break;
    case Qt::Key_End: action = StepAction::Last; break;
    default: return false;
  }
  if (press) session_.Step(*action);
  return true;
}

void TChannelsFrm::keyPressEvent(QKeyEvent* event) {
  if (WindowKey(this, event)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TChannelsFrm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!splitterSized_) {
    // The tables get the height they need, up to 40 % of the window; the plots the rest.
    layout()->activate();
    const int total = Splitter->height() - Splitter->handleWidth();
    const QWidget* pane = static_cast<QScrollArea*>(Splitter->widget(1))->widget();
    const int tables = std::min(pane->sizeHint().height(), total * 2 / 5);
    Splitter->setSizes({total - tables, tables});
    splitterSized_ = true;
  }
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
  // To the right of the main window and of the video window, as wide and as high as the screen allows.
  const QRect mainFrame = owner_->frameGeometry();
  const QRect busy = busyArea_ ? busyArea_() : mainFrame;
  const int left = std::max(mainFrame.right(), busy.right()) + 12;
  const QScreen* screen = owner_->screen() ? owner_->screen() : QGuiApplication::primaryScreen();
  const QRect free = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
  const int width = std::clamp(free.right() - left - 12, 480, 1000);
  const int height = std::clamp(free.bottom() - mainFrame.top() - 40, 400, 1400);
  setGeometry(left, mainFrame.top() + 30, width, height);
  placed_ = true;
}

void TChannelsFrm::ShowRun() {
  CloseRun();
  const LoadedRun& run = session_.Reference();
  run_ = &run;
  cursor_ = 0;
  ChannelBox->setRange(0, run.History.Header.LastChannel);
  setWindowTitle(QStringLiteral("Channels — ") + RunName(run));
  for (const ChannelSeries& s : run.Series) AddPlot(s);
  const std::vector<int> missing = MissingChannels(run);
  MissingLbl->setText(missing.empty() ? QString() : MissingText(missing, run.History.Header.LastChannel));
  MissingLbl->setVisible(!missing.empty());
  Relabel();
  if (!placed_) PlaceBeside();
  show();
  ShowRunsBar();
  ShowComparedCurves();
  ResetTimeRange();
  SetCursorStep(0);
}

void TChannelsFrm::ShowRunsBar() {
  // One check box per compared run, in its colour: it shows or hides that run everywhere.
  for (QCheckBox* box : RunsBar->findChildren<QCheckBox*>()) delete box;
  runShown_.assign(session_.RunCount(), true);
  RunsBar->setVisible(run_ && session_.RunCount() > 1);
  // Placed now, not at the next layout pass: shown at the window's corner first, it left its
  // picture over the channel box.
  layout()->activate();
  if (!run_) return;
  ReferenceLbl->setText(QStringLiteral("Runs:  <b>%1</b>").arg(RunName(*run_).toHtmlEscaped()));
  auto* layout = static_cast<QHBoxLayout*>(RunsBar->layout());
  for (std::size_t k = 1; k < session_.RunCount(); ++k) {
    auto* box = new QCheckBox(RunName(session_.Run(k)), RunsBar);
    box->setObjectName(QStringLiteral("RunBox%1").arg(k));
    box->setChecked(true);
    box->setFocusPolicy(Qt::NoFocus);  // the window's keys stay the window's
    box->setStyleSheet(QStringLiteral("QCheckBox { color: %1; font-weight: bold; }").arg(RunQColor(k).darker(115).name()));
    box->setToolTip(QString::fromStdString(session_.Run(k).RunPath));
    layout->insertWidget(layout->count() - 1, box);
    connect(box, &QCheckBox::toggled, this, [this, k](bool shown) {
      if (k < runShown_.size()) runShown_[k] = shown;
      ShowComparedCurves();
    });
  }
}

void TChannelsFrm::ShowComparedCurves() {
  if (!run_) return;
  if (runShown_.size() != session_.RunCount()) ShowRunsBar();
  for (ChannelPlot* plot : plots_) {
    std::vector<ChannelPlot::ComparedCurve> curves;
    for (std::size_t k = 1; k < session_.RunCount(); ++k) {
      if (!runShown_[k]) continue;
      const LoadedRun& run = session_.Run(k);
      const ChannelSeries* series = FindSeries(run, plot->Channel());
      if (!series) continue;  // a run that does not store the channel
      curves.push_back({RunName(run), RunQColor(k), run.History.StepTimes, series->Values});
    }
    plot->SetComparedCurves(std::move(curves));
  }
}

void TChannelsFrm::CloseRun() {
  for (ChannelPlot* p : plots_) delete p;
  plots_.clear();
  run_ = nullptr;
  ShowStatistics();
  MissingLbl->hide();
  setWindowTitle(QStringLiteral("Channels"));
  Relabel();
  hide();
}

ChannelPlot* TChannelsFrm::AddPlot(const ChannelSeries& series) {
  auto* plot = new ChannelPlot(series.Channel, run_->History.StepTimes, series.Values, plotPane_);
  plot->setMinimumHeight(kMinPlotHeight);
  plots_.push_back(plot);
  plotLayout_->addWidget(plot, 1);
  WatchKeys(plot);
  connect(plot, &ChannelPlot::MenuRequested, this, [this, plot](const QPoint& at) { ShowPlotMenu(plot, at); });
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
  EmptyLbl->setText(run_ ? QStringLiteral("No channel is plotted: add one by its number.") : QStringLiteral("Open a run (File ▸ Open)"));
  EmptyLbl->setVisible(plots_.empty());
  ChannelBox->setEnabled(run_ != nullptr);
  AddBtn->setEnabled(run_ != nullptr);
}

bool TChannelsFrm::MoveToPeak(int direction, PeakKind kind) {
  const char* way = direction > 0 ? "after" : "before";
  if (!impacts_.has_value()) {
    session_.MoveMessages().Message("no-peaks", "No peak to go to: " + impacts_.Reason);
    return false;
  }
  double level = -std::numeric_limits<double>::infinity();
  if (kind == PeakKind::AboveA1_3) {
    if (!impacts_->A1_3.has_value()) {
      session_.MoveMessages().Message("no-large-peak", "No peak reaches A1/3: " + impacts_->A1_3.Reason);
      return false;
    }
    level = *impacts_->A1_3;
  }
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
  if (!to) {
    session_.MoveMessages().Message(
        kind == PeakKind::AboveA1_3 ? "no-large-peak" : "no-peak", std::string("No ") + (kind == PeakKind::AboveA1_3 ? "peak of A1/3 (" + FormatSignificant(level, 4) + " g) or more" : "counted peak") +
                    " " + way + " the cursor in the visible range");
    return false;
  }
  session_.SetStep(static_cast<std::int32_t>(to->Step));
  return true;
}

void TChannelsFrm::ShowStatistics() {
  const TableFill fillStats(StatsTable), fillMotions(MotionTable), fillImpacts(ImpactTable);
  const std::size_t runs = run_ ? session_.RunCount() : 1;
  const std::string pending = run_ ? (plots_.empty() ? "no channel is plotted" : "being computed") : "no run is open";
  const int block = RowsPerGroup();
  StatsTable->setRowCount(static_cast<int>(plots_.size()) * block);
  QStringList names;
  for (std::size_t k = 0; k < plots_.size(); ++k) {
    const int channel = plots_[k]->Channel();
    for (std::size_t r = 0; r < runs; ++r) {
      const int row = static_cast<int>(k) * block + static_cast<int>(r);
      names << RowName(plots_[k]->Title(), r);
      const WindowStatistics* stats = StatisticsOf(r);
      const auto* found = stats ? FiguresOf(stats->Channels, channel) : nullptr;
      if (!found) {
        SetMissingRow(StatsTable, row, 0, StatsTable->columnCount(), pending);
        continue;
      }
      const an::Maybe<an::ChannelStatistics>& s = *found;
      if (!s.has_value()) {
        SetMissingRow(StatsTable, row, 0, StatsTable->columnCount(), s.Reason);
        continue;
      }
      SetCell(StatsTable, row, 0, QString::number(s->Count));
      const double figures[] = {s->Mean, s->Min, s->MinTime, s->Max, s->MaxTime, s->StdDev, s->Rms};
      for (int c = 0; c < 7; ++c) SetFigure(StatsTable, row, c + 1, figures[c]);
    }
    const std::string prefix = "Channels[" + std::to_string(channel) + "].";
    ShowDifferences(StatsTable, static_cast<int>(k) * block, names,
                    {{1, prefix + "Mean"}, {2, prefix + "Min"}, {4, prefix + "Max"}, {6, prefix + "StdDev"}, {7, prefix + "Rms"}});
  }
  StatsTable->setVerticalHeaderLabels(names);
  ShowRange(StatisticsOf(0));
  ShowMotions(pending);
  ShowImpacts(pending);
}

int TChannelsFrm::RowsPerGroup() const {
  const int runs = run_ ? static_cast<int>(session_.RunCount()) : 1;
  return 2 * runs - 1;
}

const WindowStatistics* TChannelsFrm::StatisticsOf(std::size_t run) const {
  return run_ && !plots_.empty() ? session_.Statistics(run) : nullptr;
}

QString TChannelsFrm::RowName(const QString& group, std::size_t run) const {
  if (!run_ || session_.RunCount() < 2) return group;
  return group + QStringLiteral(" — ") + RunName(session_.Run(run));
}

void TChannelsFrm::ShowDifferences(QTableWidget* table, int groupRow, QStringList& names,
                                   const std::vector<std::pair<int, std::string>>& figures) {
  if (!run_) return;
  const std::size_t runs = session_.RunCount();
  const WindowStatistics* reference = StatisticsOf(0);
  for (std::size_t r = 1; r < runs; ++r) {
    const int row = groupRow + static_cast<int>(runs + r - 1);
    names << QStringLiteral("Δ% ") + RunName(session_.Run(r));
    const WindowStatistics* other = StatisticsOf(r);
    for (int c = 0; c < table->columnCount(); ++c) SetCell(table, row, c, QString());
    for (const auto& [column, figure] : figures) {
      // The percent of `hulvex compare`: 100 (value - reference) / |reference|.
      const std::optional<double> percent =
          reference && other ? PercentDifference(FigureValue(*reference, figure), FigureValue(*other, figure)) : std::nullopt;
      if (!percent) {
        SetCell(table, row, column, QStringLiteral("—"), figure + ": no reference, a reference of 0 or a missing figure");
        continue;
      }
      SetCell(table, row, column, (*percent > 0 ? QStringLiteral("+") : QString()) + QString::number(*percent, 'f', 1) + QStringLiteral(" %"));
      QTableWidgetItem* item = table->item(row, column);
      item->setData(Qt::UserRole, *percent);
      item->setToolTip(QString::fromStdString(figure + ": " + FormatJsonNumber(*percent) + " %"));
    }
  }
}

void TChannelsFrm::ShowRange(const WindowStatistics* stats) {
  if (!stats) {
    RangeLbl->setText(run_ && !plots_.empty() ? QStringLiteral("Statistics being computed") : QString());
    return;
  }
  RangeLbl->setText(QStringLiteral("%1 s – %2 s, %3 steps")
                        .arg(stats->From, 0, 'f', 2)
                        .arg(stats->To, 0, 'f', 2)
                        .arg(stats->Window.Count()));
}

void TChannelsFrm::ShowMotions(const std::string& pending) {
  const std::size_t runs = run_ ? session_.RunCount() : 1;
  const int block = RowsPerGroup();
  MotionTable->setRowCount(static_cast<int>(kMotionChannels.size()) * block);
  QStringList names;
  for (std::size_t k = 0; k < kMotionChannels.size(); ++k) {
    const ChannelInfo info = ChannelInfoOf(kMotionChannels[k]);
    for (std::size_t r = 0; r < runs; ++r) {
      const int row = static_cast<int>(k) * block + static_cast<int>(r);
      names << RowName(QString::fromStdString(info.Name + ", " + info.Unit), r);
      const WindowStatistics* stats = StatisticsOf(r);
      const auto* found = stats ? FiguresOf(stats->Motions, kMotionChannels[k]) : nullptr;
      if (!found) {
        SetMissingRow(MotionTable, row, 0, MotionTable->columnCount(), pending);
        continue;
      }
      const an::Maybe<an::MotionStatistics>& m = *found;
      if (!m.has_value()) {
        SetMissingRow(MotionTable, row, 0, MotionTable->columnCount(), m.Reason);
        continue;
      }
      SetCell(MotionTable, row, 0, QString::number(m->Cycles));
      SetFigure(MotionTable, row, 1, m->SignificantDoubleAmplitude);
    }
    ShowDifferences(MotionTable, static_cast<int>(k) * block, names,
                    {{1, "Motions[" + std::to_string(kMotionChannels[k]) + "].SignificantDoubleAmplitude"}});
  }
  MotionTable->setVerticalHeaderLabels(names);
}

void TChannelsFrm::ShowImpacts(const std::string& pending) {
  const auto isAcceleration = [](ChannelPlot* p) { return p->Channel() == kChAcceleration; };
  const auto found = std::find_if(plots_.begin(), plots_.end(), isAcceleration);
  ChannelPlot* acceleration = found != plots_.end() ? *found : nullptr;
  const std::string notPlotted = run_ ? "the vertical acceleration (channel 2) is not plotted" : pending;
  const std::size_t runs = run_ ? session_.RunCount() : 1;
  ImpactTable->setRowCount(RowsPerGroup());
  QStringList names;
  for (std::size_t r = 0; r < runs; ++r) {
    const int row = static_cast<int>(r);
    names << RowName(QStringLiteral("vertical acceleration, g"), r);
    const WindowStatistics* stats = StatisticsOf(r);
    const auto impacts = !acceleration ? an::Maybe<an::ImpactStatistics>::Missing(notPlotted)
                         : stats       ? stats->Impacts
                                       : an::Maybe<an::ImpactStatistics>::Missing(pending);
    const auto iso = !acceleration ? an::Maybe<an::IsoFigures>::Missing(notPlotted)
                     : stats       ? stats->Iso
                                   : an::Maybe<an::IsoFigures>::Missing(pending);
    if (r == 0) impacts_ = impacts;  // the peak keys and marks are the reference's
    if (impacts.has_value()) {
      const an::ImpactStatistics& im = *impacts;
      SetCell(ImpactTable, row, 0, QString::number(im.PeakCount));
      SetFigure(ImpactTable, row, 1, im.PeaksPerMinute);
      SetFigure(ImpactTable, row, 2, im.A1_3);
      SetFigure(ImpactTable, row, 3, im.A1_10);
      SetFigure(ImpactTable, row, 4, im.A1_100);
      if (im.Largest.has_value()) {
        SetFigure(ImpactTable, row, 5, im.Largest->Height);
      } else {
        SetCell(ImpactTable, row, 5, QStringLiteral("—"), im.Largest.Reason);
      }
    } else {
      SetMissingRow(ImpactTable, row, 0, kFirstIsoColumn, impacts.Reason);
    }
    if (iso.has_value()) {
      SetFigure(ImpactTable, row, kFirstIsoColumn, iso->WeightedRms);
      SetFigure(ImpactTable, row, kFirstIsoColumn + 1, iso->Vdv);
      SetFigure(ImpactTable, row, kFirstIsoColumn + 2, iso->Mtvv);
    } else {
      SetMissingRow(ImpactTable, row, kFirstIsoColumn, ImpactTable->columnCount(), iso.Reason);
    }
  }
  if (acceleration) {
    ShowDifferences(ImpactTable, 0, names,
                    {{0, "Impacts.PeakCount"}, {1, "Impacts.PeaksPerMinute"}, {2, "Impacts.A1_3"}, {3, "Impacts.A1_10"},
                     {4, "Impacts.A1_100"}, {5, "Impacts.Largest"}, {kFirstIsoColumn, "Iso2631.WeightedRms"},
                     {kFirstIsoColumn + 1, "Iso2631.Vdv"}, {kFirstIsoColumn + 2, "Iso2631.Mtvv"}});
  } else {
    for (std::size_t r = 1; r < runs; ++r) {
      names << QStringLiteral("Δ% ") + RunName(session_.Run(r));
      SetMissingRow(ImpactTable, static_cast<int>(runs + r - 1), 0, ImpactTable->columnCount(), notPlotted);
    }
  }
  ImpactTable->setVerticalHeaderLabels(names);
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

void TChannelsFrm::RunGrew(std::int32_t stepsBefore) {
  if (!run_ || plots_.empty() || stepsBefore < 1) return;
  const std::vector<double>& t = run_->History.StepTimes;
  for (ChannelPlot* plot : plots_)
    if (const ChannelSeries* series = FindSeries(*run_, plot->Channel())) plot->SetSeries(t, series->Values);
  // A range that reached the end follows it (the whole run stays whole, a part keeps its width),
  // and its statistics follow.
  const QCPRange r = plots_.front()->TimeRange();
  if (r.upper < t[static_cast<std::size_t>(stepsBefore) - 1]) return;
  if (r.lower <= t.front()) SetTimeRange(t.front(), t.back());
  else SetTimeRange(t.back() - (r.upper - r.lower), t.back());
}

void TChannelsFrm::ResetTimeRange() {
  if (!run_ || run_->History.StepTimes.empty()) return;
  SetTimeRange(run_->History.StepTimes.front(), run_->History.StepTimes.back());
}

void TChannelsFrm::AddChannel(int channel) {
  if (!run_) return;
  if (std::any_of(plots_.begin(), plots_.end(), [&](ChannelPlot* p) { return p->Channel() == channel; })) {
    const ChannelInfo info = ChannelInfoOf(channel);
    const std::string name = info.Unit != "raw" ? " (" + info.Name + ")" : "";
    session_.MoveMessages().Message("channel-plotted", "Channel " + std::to_string(channel) + name + " is plotted already");
    return;
  }
  try {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    session_.HoldChannel(channel, messages_);
    const ChannelSeries& series = *FindSeries(*run_, channel);
    QGuiApplication::restoreOverrideCursor();
    const QCPRange range = plots_.empty() ? QCPRange(run_->History.StepTimes.front(), run_->History.StepTimes.back())
                                          : plots_.front()->TimeRange();
    ChannelPlot* plot = AddPlot(series);
    ShowComparedCurves();
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

void TChannelsFrm::ReadImpactFields() {
  // Empty is the default. A field that is not a number >= 0 is marked and leaves its value as it was.
  const auto read = [this](QLineEdit* edit, const char* what) -> std::optional<std::optional<double>> {
    const QString text = edit->text().trimmed();
    if (text.isEmpty()) {
      edit->setStyleSheet(QString());
      return std::optional<double>();
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (ok && v >= 0 && std::isfinite(v)) {
      edit->setStyleSheet(QString());
      return std::optional<double>(v);
    }
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: #ffd0d0; }"));
    session_.MoveMessages().Message("bad-field", std::string(what) + " is not a number of 0 or more: \"" + text.toStdString() + "\"");
    return std::nullopt;
  };
  if (const auto threshold = read(ThresholdEdit, "The threshold")) session_.SetImpactThreshold(threshold->value_or(0.0));
  if (const auto percent = read(HysteresisEdit, "The hysteresis"))
    session_.SetHysteresis(*percent ? std::optional<double>(**percent / 100) : std::nullopt);
}

void TChannelsFrm::ShowTableMenu(QTableWidget* table, const QPoint& global) {
  QMenu menu;  // no parent: its keys are its own
  menu.addAction(QStringLiteral("Copy"), [table] { QGuiApplication::clipboard()->setText(TableText(*table, true)); });
  menu.addAction(QStringLiteral("Copy whole table"),
                 [table] { QGuiApplication::clipboard()->setText(TableText(*table, false)); });
  menu.addSeparator();
  menu.addAction(QStringLiteral("Save Statistics As…"), this, &TChannelsFrm::SaveStatisticsAs)
      ->setEnabled(session_.Statistics() != nullptr);
  menu.exec(global);
}

void TChannelsFrm::ShowPlotMenu(ChannelPlot* plot, const QPoint& global) {
  QMenu menu;
  const int channel = plot->Channel();
  menu.addAction(QStringLiteral("Show the whole run"), this, &TChannelsFrm::ResetTimeRange);
  menu.addAction(QStringLiteral("Save Plots As…"), this, &TChannelsFrm::SavePlotsAs);
  menu.addSeparator();
  menu.addAction(QStringLiteral("Remove this plot"), this, [this, channel] { RemoveChannel(channel); });
  menu.exec(global);
}

void TChannelsFrm::SavePlots(const QString& path) const {
  if (plots_.empty()) throw Error("No plot to save: no channel is plotted");
  std::vector<PlacedWidget> stacked;  // as shown, without the gaps between them
  int y = 0;
  for (ChannelPlot* p : plots_) {
    stacked.push_back({p, QPoint(0, y)});
    y += p->height();
  }
  SavePicture(path, stacked, windowTitle());
}

void TChannelsFrm::SavePlotsAs() { SaveAs(ChooseImageFile, [this](const QString& path) { SavePlots(path); }); }

void TChannelsFrm::SaveStatistics(const QString& path) const {
  const WindowStatistics* stats = session_.Statistics();
  if (!stats || !session_.RunLoaded()) throw Error("No statistics to save: they have not been computed yet");
  std::vector<int> channels;
  for (const auto& row : stats->Channels) channels.push_back(row.first);
  // One row per run: the reference, then each compared run over the same range.
  std::string text = StatisticsCsvHeader(channels);
  for (std::size_t k = 0; k < session_.RunCount(); ++k) {
    if (!session_.Statistics(k)) continue;
    RunStatistics run;
    run.Run = session_.Run(k).RunPath;
    run.Figures = *session_.Statistics(k);
    text += StatisticsCsvRow(channels, run);
  }
  WriteWhole(path, [&](QSaveFile& file) {
    return file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size());
  });
}

void TChannelsFrm::SaveStatisticsAs() {
  SaveAs(ChooseCsvFile, [this](const QString& path) { SaveStatistics(path); });
}

void TChannelsFrm::SaveAs(const std::function<QString()>& choose, const std::function<void(const QString&)>& save) {
  SaveChosenFile(choose, save, session_.MoveMessages(), messages_);
}

}  // namespace hulvex
