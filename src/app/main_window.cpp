#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenuBar>
#include <QVBoxLayout>

#include <exception>
#include <initializer_list>

#include "app/export_video.h"
#include "common/error.h"
#include "common/file_lookup.h"

namespace hulvex {
namespace {

const char* const kExplanation =
    "A HULVEX simulation takes many times longer to compute than the real time it simulates. The path "
    "of the boat that it computes can nevertheless be \"played back\" at about real-time speed with the "
    "\"video\" feature. This program shows only the video results of a set of test runs. The elapsed "
    "time, the boat speed in knots and the upward acceleration at the boat's centre of gravity are "
    "printed at the top of the video image.\n\n"
    "The full HULVEX program can also present its results as numbers and graphs: speed, pitch angle, "
    "vertical acceleration and more. A larger free demonstration program shows some of these values "
    "from the same data.\n\n"
    "How to use this program:\n"
    "The program lives in its installation directory together with the data files it can use. "
    "\"File\" lets you pick one of the included runs. \"Go\" and \"Stop\" control the automatic video. "
    "\"VideoTimeAdj\" gives slow-motion or speeded-up video. The scroll bar at the top moves the boat "
    "to other elapsed times by hand. A brief description of the case is shown at the bottom of this "
    "window; many of the cases are described in detail in the file \"Cases.pdf\".";

// The top of the status line in the window's client area, below the readouts' second row.
constexpr int kStatusLineTop = 62;

QLabel* ReadoutLabel(const QString& name, const QString& text, int left, int top, bool highlighted, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(11);
  label->setFont(font);
  label->move(left, top);
  if (highlighted) {
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::HighlightedText));
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
  }
  label->adjustSize();
  return label;
}

void SetLabel(QLabel* label, const std::string& text) {
  label->setText(QString::fromStdString(text));
  label->adjustSize();  // the labels grow with their text
}

QString Cut(const QString& text, int limit) { return text.left(limit); }

}  // namespace

TForm1::TForm1(std::string programDir, QWidget* parent)
    : QMainWindow(parent),
      Messages([this] { return DialogOwner(); }),
      session_(new ViewerSession(programDir, this)),
      programDir_(std::move(programDir)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("KVRView2"));
  setGeometry(125, 60, 639, 584);

  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  Open2 = file->addAction(QStringLiteral("Open"), this, &TForm1::Open2Click);
  Open2->setObjectName(QStringLiteral("Open2"));
  QAction* addCompared = file->addAction(QStringLiteral("Add Run to Compare…"), this, [this] {
    const QStringList files = ChooseComparedFiles ? ChooseComparedFiles() : QStringList();
    if (!files.isEmpty()) AddComparedRunFiles(files);
  });
  addCompared->setObjectName(QStringLiteral("AddCompared1"));
  addCompared->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
  QAction* removeCompared = file->addAction(QStringLiteral("Remove Compared Runs"), this, [this] { session_->RemoveComparedRuns(); });
  removeCompared->setObjectName(QStringLiteral("RemoveCompared1"));
  removeCompared->setEnabled(false);
  connect(session_, &ViewerSession::ComparedRunsChanged, removeCompared,
          [this, removeCompared] { removeCompared->setEnabled(session_->ComparedCount() > 0); });
  connect(session_, &ViewerSession::ComparedRunFailed, this, [this](const QString& run, const QString& text) {
    Messages.present(QStringLiteral("The run %1 is not compared:\n%2").arg(run, text));
  });
  QAction* beforeQuit = file->addSeparator();
  Quit1 = file->addAction(QStringLiteral("Quit"), this, &TForm1::Quit1Click);
  Quit1->setObjectName(QStringLiteral("Quit1"));
  VideoExportCommand* exporter = AddExportVideoCommand(this, *session_, file, Quit1, [this] { return DialogOwner(); },
                                                       [this](const QString& text) { Messages.present(text); });
  auto* savePlots = new QAction(QStringLiteral("Save Plots As…"), file);
  savePlots->setObjectName(QStringLiteral("SavePlots1"));
  connect(savePlots, &QAction::triggered, this, [this] {
    if (ChannelsFrm) ChannelsFrm->SavePlotsAs();
  });
  file->insertAction(beforeQuit, savePlots);
  auto* saveStatistics = new QAction(QStringLiteral("Save Statistics As…"), file);
  saveStatistics->setObjectName(QStringLiteral("SaveStatistics1"));
  connect(saveStatistics, &QAction::triggered, this, [this] {
    if (ChannelsFrm) ChannelsFrm->SaveStatisticsAs();
  });
  file->insertAction(beforeQuit, saveStatistics);
  Go = menuBar()->addAction(QStringLiteral("Go"), this, &TForm1::GoClick);
  Go->setObjectName(QStringLiteral("Go"));
  Stop1 = menuBar()->addAction(QStringLiteral("Stop"), this, &TForm1::Stop1Click);
  Stop1->setObjectName(QStringLiteral("Stop1"));
  VideoTimeAdj1 = menuBar()->addAction(QStringLiteral("VideoTimeAdj"), this, &TForm1::VideoTimeAdj1Click);
  VideoTimeAdj1->setObjectName(QStringLiteral("VideoTimeAdj1"));
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  Channels1 = view->addAction(QStringLiteral("Channels"), this, &TForm1::Channels1Click);
  Channels1->setObjectName(QStringLiteral("Channels1"));
  Channels1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
  Video1 = view->addAction(QStringLiteral("Video"), this, &TForm1::Video1Click);
  Video1->setObjectName(QStringLiteral("Video1"));
  Video1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
  Video1->setEnabled(false);  // while no video is prepared
  OverlayHulls1 = view->addAction(QStringLiteral("Overlay Hulls"));
  OverlayHulls1->setObjectName(QStringLiteral("OverlayHulls1"));
  OverlayHulls1->setCheckable(true);
  OverlayHulls1->setEnabled(false);  // while no run is compared
  connect(OverlayHulls1, &QAction::toggled, session_, &ViewerSession::SetOverlayHulls);
  connect(session_, &ViewerSession::OverlayHullsChanged, OverlayHulls1, &QAction::setChecked);
  connect(session_, &ViewerSession::ComparedRunsChanged, OverlayHulls1,
          [this] { OverlayHulls1->setEnabled(session_->ComparedCount() > 0); });
  Spectra1 = view->addAction(QStringLiteral("Spectra"), this, &TForm1::Spectra1Click);
  Spectra1->setObjectName(QStringLiteral("Spectra1"));
  Spectra1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_3));
  Impacts1 = view->addAction(QStringLiteral("Impact Distribution"), this, &TForm1::Impacts1Click);
  Impacts1->setObjectName(QStringLiteral("Impacts1"));
  Impacts1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_4));
  Follow1 = view->addAction(QStringLiteral("Follow"));
  Follow1->setObjectName(QStringLiteral("Follow1"));
  Follow1->setCheckable(true);
  Follow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  connect(Follow1, &QAction::toggled, this, [this](bool on) { session_->SetFollow(on, *barMessages_); });
  connect(session_, &ViewerSession::FollowChanged, Follow1, &QAction::setChecked);
  connect(session_, &ViewerSession::RunGrew, this, &TForm1::RunGrew);
  Follower = new RunFollower(*session_, this);

  auto* central = new QWidget(this);
  setCentralWidget(central);
  TimeBar = new QScrollBar(Qt::Horizontal, central);
  TimeBar->setObjectName(QStringLiteral("TimeBar"));
  TimeBar->setGeometry(32, 1, 553, 16);
  TimeBar->setRange(0, 100);
  TimeBar->setSingleStep(1);
  TimeBar->setPageStep(10);
  TimeBar->setEnabled(false);  // no run loaded yet
  // Only the user's moves of the bar are scroll events; moving it from the program is not.
  connect(TimeBar, &QScrollBar::actionTriggered, this, &TForm1::TimeBarScroll);

  TLowLbl = ReadoutLabel(QStringLiteral("TLowLbl"), QString(), 8, 23, false, central);
  TimeLbl = ReadoutLabel(QStringLiteral("TimeLbl"), QStringLiteral("_T = 0"), 240, 23, true, central);
  THiLbl = ReadoutLabel(QStringLiteral("THiLbl"), QString(), 456, 23, false, central);
  AtLO = ReadoutLabel(QStringLiteral("AtLO"), QString(), 8, 45, false, central);
  At_T = ReadoutLabel(QStringLiteral("At_T"), QStringLiteral("at"), 240, 45, true, central);
  AtHI = ReadoutLabel(QStringLiteral("AtHI"), QString(), 456, 45, false, central);

  Memo2 = new QPlainTextEdit(central);
  Memo2->setObjectName(QStringLiteral("Memo2"));
  Memo2->setReadOnly(true);
  Memo2->setGeometry(16, 112, 601, 225);
  Memo2->setPlainText(QString::fromUtf8(kExplanation));

  Memo1 = new QPlainTextEdit(central);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFixedHeight(128);
  StatusLine = new QLabel(central);
  StatusLine->setObjectName(QStringLiteral("StatusLine"));
  StatusLine->setIndent(8);
  barMessages_ = std::make_unique<StatusLineDiagnostics>(StatusLine);
  connect(session_, &ViewerSession::MoveMessage, this, [this](const QString& kind, const QString& text) {
    barMessages_->Message(kind.toStdString(), text.toStdString());
  });
  connect(exporter, &VideoExportCommand::Wrote, this, [this](const QString& text) { barMessages_->ShowNote(text); });
  connect(Follower, &RunFollower::StatusChanged, this, [this](const QString& text) {
    if (!text.isEmpty()) barMessages_->ShowNote(text);
  });
  connect(Follower, &RunFollower::Message, this, [this](const QString& kind, const QString& text) {
    barMessages_->Message(kind.toStdString(), text.toStdString());
  });
  connect(session_, &ViewerSession::RunOpened, this, &TForm1::RunOpened);
  connect(session_, &ViewerSession::StepChanged, this, &TForm1::StepChanged);
  connect(session_, &ViewerSession::VideoReadyChanged, this, &TForm1::SetVideoCommands);
  // The status line goes under the readouts, above the explanation: the Video window, which stays
  // on top at its fixed place, covers the middle of this window.
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addSpacing(kStatusLineTop);
  layout->addWidget(StatusLine);
  layout->addStretch();
  layout->addWidget(Memo1);

  ChooseRunFile = [this] { return RunFileFromDialog(); };
  ChooseComparedFiles = [this] {
    const QString start = lastRunDir_.isEmpty() ? QString::fromStdString(programDir_) : lastRunDir_;
    return QFileDialog::getOpenFileNames(DialogOwner(), QStringLiteral("Add Run to Compare"), start,
                                         QStringLiteral("Run file (HVX) (*.HVX *.hvx)"), nullptr,
                                         QFileDialog::DontUseNativeDialog);
  };
  RunMultiplierDialog = [this] { return VmultFrm->exec() == QDialog::Accepted; };
}

TForm1::~TForm1() {
  delete ChannelsFrm;  // before the run its plots show
  delete SpectraFrm;   // before the model they show
  delete ImpactsFrm;
  delete Spectra;
  delete ComparedFrm;
  if (VidFrm) VidFrm->CloseVideo();
  session_->SetVideoEngine(nullptr);
  delete VidFrm;
}

void TForm1::CreateSecondaryWindows() {
  VidFrm = new TVidFrm(this);  // a window of its own, owned by this one
  VidFrm->AttachSession(*session_);
  VmultFrm = new TVmultFrm(this);
  ComparedFrm = new TComparedFrm(this, *session_, [this] { return frameGeometry().united(VidFrm->frameGeometry()); });
  // The Channels window goes beside this window and the Video window, not over them.
  ChannelsFrm = new TChannelsFrm(this, *session_, Messages, [this] {
    QRect busy = frameGeometry();
    if (VidFrm) busy = busy.united(VidFrm->frameGeometry());
    return busy;
  });
  Spectra = new SpectraModel(*session_, this);
  SpectraFrm = new TSpectraFrm(this, *session_, *Spectra, Messages);
  ImpactsFrm = new TImpactsFrm(this, *session_, *Spectra, Messages);
  CreateKeys();
}

void TForm1::CreateKeys() {
  // Each key acts in the main window, the Video window and the Compared Runs window.
  auto key = [this](const QKeySequence& keys, const std::function<void()>& act) {
    auto* action = new QAction(this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, act);
    addAction(action);
    VidFrm->addAction(action);
    ComparedFrm->addAction(action);
  };
  key(Qt::Key_Space, [this] { PlayOrStop(); });
  key(Qt::Key_Left, [this] { MoveBar(QAbstractSlider::SliderSingleStepSub); });
  key(Qt::Key_Right, [this] { MoveBar(QAbstractSlider::SliderSingleStepAdd); });
  key(Qt::Key_PageUp, [this] { MoveBar(QAbstractSlider::SliderPageStepSub); });
  key(Qt::Key_PageDown, [this] { MoveBar(QAbstractSlider::SliderPageStepAdd); });
  key(Qt::Key_Home, [this] { MoveBar(QAbstractSlider::SliderToMinimum); });
  key(Qt::Key_End, [this] { MoveBar(QAbstractSlider::SliderToMaximum); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { ScaleVideoMult(0.5f); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { ScaleVideoMult(2.0f); });
  // The View menu's windows open from whichever of the viewer's windows has the keys.
  for (QAction* view : {Channels1, Video1, Spectra1, Impacts1}) {
    for (QWidget* window : std::initializer_list<QWidget*>{VidFrm, ComparedFrm, ChannelsFrm, SpectraFrm, ImpactsFrm})
      window->addAction(view);
  }
  menuBar()->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == menuBar() && event->type() == QEvent::ShortcutOverride && menuBar()->activeAction()) {
    event->accept();  // an item is highlighted: the menu bar gets the key as a key press
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

QWidget* TForm1::DialogOwner() {
  if (VidFrm && VidFrm->isVisible()) return VidFrm;
  return this;
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (VidFrm) {
    VidFrm->StopPlayback();
    VidFrm->hide();
  }
  QMainWindow::closeEvent(event);
}

void TForm1::Command(const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    Messages.Message("error", e.what());
  }
  Messages.Flush();
}

void TForm1::SetVideoCommands(bool enabled) {
  Go->setEnabled(enabled);
  Stop1->setEnabled(enabled);
  Video1->setEnabled(enabled);
}

void TForm1::CloseCurrentRun() {
  session_->CloseRuns();  // the video and the Channels window let go of the run first
  SetVideoCommands(false);  // enabled again when the next run's video is prepared
  TimeBar->setEnabled(false);
  barMessages_->Clear();
}

void TForm1::ClearRunDisplay() {
  setWindowTitle(QStringLiteral("KVRView2"));
  for (QLabel* label : {TLowLbl, AtLO, THiLbl, AtHI}) SetLabel(label, std::string());
  SetLabel(TimeLbl, "_T = 0");
  SetLabel(At_T, "at");
  TimeBar->setValue(TimeBar->minimum());
  Memo1->clear();
}

void TForm1::ShowOpenFailure() {
  ClearRunDisplay();
  Memo1->setPlainText(QString::fromStdString(session_->Reference().Description));
}

QString TForm1::RunFileFromDialog() {
  const QString start = lastRunDir_.isEmpty() ? QString::fromStdString(programDir_) : lastRunDir_;
  // Qt's own dialog: the same behaviour (default suffix, ownership) on every desktop.
  QFileDialog dialog(DialogOwner(), QStringLiteral("Open Run File"), start, QStringLiteral("Run file (HVX) (*.HVX *.hvx)"));
  dialog.setObjectName(QStringLiteral("Open1"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("HVX"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

void TForm1::Open2Click() {
  CloseCurrentRun();
  const QString file = ChooseRunFile();
  if (file.isEmpty()) {
    ClearRunDisplay();
    return;
  }
  OpenRunFile(file);
}

void TForm1::OpenRunFile(const QString& file) {
  CloseCurrentRun();
  lastRunDir_ = QFileInfo(file).absolutePath();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Command([&] {
    struct RestoreCursor {
      ~RestoreCursor() { QGuiApplication::restoreOverrideCursor(); }
    } restore;
    RunOpenResult result;
    try {
      // Opened: RunOpened sets up the bar and the readouts, then the video shows step 0.
      result = session_->Open(RunPathOf(file.toStdString()), Messages);
    } catch (...) {
      ShowOpenFailure();
      throw;
    }
    if (result != RunOpenResult::Loaded) ShowOpenFailure();
  });
}

void TForm1::AddComparedRunFiles(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& f : files) paths.push_back(RunPathOf(QFileInfo(f).absoluteFilePath().toStdString()));
  session_->AddComparedRuns(paths);
}

void TForm1::RunOpened() {
  const LoadedRun& run = session_->Reference();
  const TimeNavigation& nav = session_->Navigation();
  const QString shownPath = QString::fromStdString(run.RunPath);
  Memo1->setPlainText(QString::fromStdString(run.Description));
  setWindowTitle(Cut(QStringLiteral("KVRView -- ") + shownPath, 98));
  TimeBar->setRange(nav.LowStep, nav.HighStep);
  TimeBar->setPageStep(nav.LargeChange());
  TimeBar->setValue(nav.CurrentStep);
  TimeBar->setEnabled(true);
  ShowRangeLabels();
  setWindowTitle(Cut(QStringLiteral("Current Run Name = ") + shownPath, 106));
}

void TForm1::RunGrew() {
  const TimeNavigation& nav = session_->Navigation();
  TimeBar->setRange(nav.LowStep, nav.HighStep);
  TimeBar->setPageStep(nav.LargeChange());
  ShowRangeLabels();
}

void TForm1::StepChanged(std::int32_t step, StepOrigin origin) {
  if (TimeBar->value() != step) TimeBar->setValue(step);  // not a scroll event
  // Opening a run and the end of the playback leave the current-time readouts as they were.
  if (origin == StepOrigin::Moved || origin == StepOrigin::Stopped) ShowCurrentLabels();
}

void TForm1::ShowRangeLabels() {
  const RangeLabels labels = MakeRangeLabels(session_->Navigation(), session_->Reference().History.StepTimes);
  SetLabel(TLowLbl, labels.TLowLbl);
  SetLabel(AtLO, labels.AtLO);
  SetLabel(THiLbl, labels.THiLbl);
  SetLabel(AtHI, labels.AtHI);
}

void TForm1::ShowCurrentLabels() {
  const CurrentTimeLabels labels = MakeCurrentTimeLabels(session_->CurrentStep(), session_->Reference().History.StepTimes);
  SetLabel(TimeLbl, labels.TimeLbl);
  SetLabel(At_T, labels.At_T);
}

void TForm1::TimeBarScroll(int) {
  // A drag raises a scroll event per position: its messages go to the status line, not to boxes.
  session_->SetStep(TimeBar->sliderPosition());
}

void TForm1::MoveBar(QAbstractSlider::SliderAction action) {
  if (RunLoaded()) TimeBar->triggerAction(action);  // raises the scroll event, as the user's move does
}

void TForm1::Quit1Click() { close(); }

void TForm1::Channels1Click() {
  if (!ChannelsFrm) return;
  ChannelsFrm->show();
  ChannelsFrm->raise();
  ChannelsFrm->activateWindow();
}

namespace {

void ShowAndRaise(QWidget* window) {
  if (!window) return;
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace

void TForm1::Spectra1Click() { ShowAndRaise(SpectraFrm); }

void TForm1::Impacts1Click() { ShowAndRaise(ImpactsFrm); }

void TForm1::Video1Click() {
  if (!VidFrm || !session_->VideoReady()) return;
  VidFrm->show();
  VidFrm->raise();
  VidFrm->activateWindow();
}

void TForm1::GoClick() {
  if (!RunLoaded() || !session_->VideoReady()) return;
  VidFrm->show();  // back on the screen if its close box hid it
  Command([&] { session_->Play(Messages); });
}

void TForm1::Stop1Click() {
  Command([&] { session_->Stop(Messages); });
}

void TForm1::PlayOrStop() {
  if (!RunLoaded() || !session_->VideoReady()) return;
  if (!session_->Playing()) VidFrm->show();  // as Go does
  Command([&] { session_->PlayOrStop(Messages); });
}

void TForm1::ScaleVideoMult(float factor) { session_->ScaleVideoMult(factor); }

void TForm1::VideoTimeAdj1Click() {
  VmultFrm->Edit1->setText(QString::fromStdString(FormatVideoMult(session_->VideoMult())));
  VmultFrm->setParent(DialogOwner(), VmultFrm->windowFlags());  // above the Video window
  if (!RunMultiplierDialog()) return;
  if (const auto value = ParseVideoMult(VmultFrm->Edit1->text().toStdString())) {
    session_->SetVideoMult(*value);
  } else {
    Messages.Message("time-multiplier", "Time Multiplier error!");
    Messages.Flush();
  }
}

}  // namespace hulvex
