#include "app/figure_window.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "app/window_output.h"

namespace hulvex {

TFigureWindow::TFigureWindow(QWidget* owner, ViewerSession& session, SpectraModel& model, CommandMessages& messages)
    : QWidget(owner, Qt::Window), session_(session), model_(model), owner_(owner), messages_(messages) {
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(1000, 740);

  auto* layout = new QVBoxLayout(this);
  auto* top = top_ = new QHBoxLayout;
  RangeLbl = new QLabel(this);
  RangeLbl->setObjectName(QStringLiteral("RangeLbl"));
  RangeLbl->setWordWrap(true);
  top->addWidget(RangeLbl, 1);
  auto* copy = new QPushButton(QStringLiteral("Copy"), this);
  copy->setObjectName(QStringLiteral("CopyBtn"));
  copy->setFocusPolicy(Qt::NoFocus);
  copy->setToolTip(QStringLiteral("Copy the plots as an image and the table as text (Ctrl+C)"));
  connect(copy, &QPushButton::clicked, this, &TFigureWindow::CopyFigures);
  auto* save = new QPushButton(QStringLiteral("Save Plots As…"), this);
  save->setObjectName(QStringLiteral("SavePlotsBtn"));
  save->setFocusPolicy(Qt::NoFocus);
  connect(save, &QPushButton::clicked, this, &TFigureWindow::SavePlotsAs);
  top->addWidget(copy);
  top->addWidget(save);
  layout->addLayout(top);

  Splitter = new QSplitter(Qt::Vertical, this);
  PlotArea = new QScrollArea(Splitter);
  PlotArea->setWidgetResizable(true);
  plotPane_ = new QWidget;
  grid_ = new QGridLayout(plotPane_);
  PlotArea->setWidget(plotPane_);
  FiguresTable = new QTableWidget(Splitter);
  FiguresTable->setObjectName(QStringLiteral("FiguresTable"));
  FiguresTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FiguresTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  FiguresTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  Splitter->addWidget(PlotArea);
  Splitter->addWidget(FiguresTable);
  Splitter->setStretchFactor(0, 3);
  Splitter->setStretchFactor(1, 1);
  layout->addWidget(Splitter, 1);

  auto* copyKey = new QAction(this);
  copyKey->setShortcut(QKeySequence::Copy);
  copyKey->setShortcutContext(Qt::WindowShortcut);
  connect(copyKey, &QAction::triggered, this, &TFigureWindow::CopyFigures);
  addAction(copyKey);
  setContextMenuPolicy(Qt::CustomContextMenu);
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu;  // no parent: its keys are its own
    menu.addAction(QStringLiteral("Copy"), this, &TFigureWindow::CopyFigures);
    menu.addAction(QStringLiteral("Save Plots As…"), this, &TFigureWindow::SavePlotsAs);
    menu.exec(mapToGlobal(at));
  });
  ChooseImageFile = [this] { return ChoosePlotFile(this); };
  // Virtual calls through these reach the derived window: nothing emits them before it is built.
  connect(&model_, &SpectraModel::Ready, this, &TFigureWindow::ShowFigures);
  connect(&session_, &ViewerSession::RunClosing, this, &TFigureWindow::ShowFigures);
  connect(&session_, &ViewerSession::ComparedRunsClosing, this, &TFigureWindow::ShowFigures);
  owner_->installEventFilter(this);
}

TFigureWindow::~TFigureWindow() { model_.SetWanted(this, false); }

bool TFigureWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == owner_ && event->type() == QEvent::Hide && !event->spontaneous()) close();
  return QWidget::eventFilter(watched, event);
}

QPoint TFigureWindow::CascadedPlace(const QRect& room) const {
  // A title bar's height and a little: enough to see and grab the window below.
  const int step = QFontMetrics(font()).height() * 2 + 4;
  QPoint at = room.center() - QPoint(width() / 2, height() / 2);
  for (bool taken = true; taken;) {
    taken = false;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w == this || !w->isVisible() || !qobject_cast<TFigureWindow*>(w) || (w->pos() - at).manhattanLength() >= step) continue;
      at += QPoint(step, step);
      taken = true;
    }
    // At the screen's edge the cascade ends where it is.
    if (at.x() + width() > room.right() || at.y() + height() > room.bottom()) break;
  }
  return {std::clamp(at.x(), room.left(), std::max(room.left(), room.right() - width())),
          std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - height()))};
}

void TFigureWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!placed_) {
    placed_ = true;  // first shown: within the screen (1280 x 800 at least), in its middle
    if (const QScreen* s = screen()) {
      const QRect room = s->availableGeometry();
      resize(std::min(width(), room.width() * 9 / 10), std::min(height(), room.height() * 9 / 10));
      move(CascadedPlace(room));
    }
    const int h = Splitter->height();
    Splitter->setSizes({h - h / 4, h / 4});  // the plots first; the table scrolls
  }
  model_.SetWanted(this, true);
}

void TFigureWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  model_.SetWanted(this, false);
}

void TFigureWindow::AddTopControl(QWidget* control) {
  control->setParent(this);
  top_->insertWidget(1, control);
  setTabOrder(control, FiguresTable);  // reached first with Tab, as it comes first on the screen
}

void TFigureWindow::ClearPlots() {
  for (FigurePlot* p : plots_) delete p;
  plots_.clear();
}

void TFigureWindow::AddPlot(FigurePlot* plot, int row, int column) {
  plot->setParent(plotPane_);
  plot->setContextMenuPolicy(Qt::NoContextMenu);  // the window's menu
  grid_->addWidget(plot, row, column);
  plots_.push_back(plot);
}

QString TFigureWindow::WaitingText() const {
  return session_.RunLoaded() ? QStringLiteral("Computing…") : QStringLiteral("No run is open.");
}

FigurePlot* TFigureWindow::Plot(const QString& title) const {
  for (FigurePlot* p : plots_)
    if (p->Title() == title) return p;
  return nullptr;
}

void TFigureWindow::SavePlots(const QString& path) const {
  const std::vector<QWidget*> widgets(plots_.begin(), plots_.end());
  SavePicture(path, PlacedIn(*plotPane_, widgets), windowTitle());
}

void TFigureWindow::SavePlotsAs() {
  SaveChosenFile(ChooseImageFile, [this](const QString& path) { SavePlots(path); }, session_.MoveMessages(), messages_);
}

void TFigureWindow::CopyFigures() const {
  const std::vector<QWidget*> widgets(plots_.begin(), plots_.end());
  CopyPicture(PlacedIn(*plotPane_, widgets), TableText(*FiguresTable, true));
}

}  // namespace hulvex
