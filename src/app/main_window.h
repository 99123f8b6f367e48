// The main window: the menu commands, the time bar and its readouts, the case description. It
// owns the session (the state every window shares) and creates the other windows; it shows the
// session's current step and commands the session, never another window's widgets.
#pragma once

#include <QAbstractSlider>
#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <functional>
#include <memory>
#include <string>

#include "app/channels_frm.h"
#include "app/gui_messages.h"
#include "app/impacts_frm.h"
#include "app/spectra_frm.h"
#include "app/vmult_frm.h"
#include "session/run_follower.h"
#include "session/viewer_session.h"
#include "video/compared_window.h"
#include "video/video_window.h"

namespace hulvex {

class TForm1 : public QMainWindow {
  Q_OBJECT
public:
  // `programDir` is the program's data directory (boat and spline files are looked up there
  // after the run's own directory, then in its SharedDataDirectory).
  explicit TForm1(std::string programDir, QWidget* parent = nullptr);
  ~TForm1() override;

  // Creates the video window, the multiplier dialog, the Compared Runs window and the Channels
  // window (after the start-up box, as at start-up), all owned by this window, and the keys.
  void CreateSecondaryWindows();

  // The window dialogs and message boxes belong to, so that they stack above it: the Video window
  // while it is shown (it stays on top), else this window.
  QWidget* DialogOwner();

  // Everything Open does after the file dialog, for the run whose ".HVX" file is `file`.
  void OpenRunFile(const QString& file);
  // Opens `files` (".HVX" files) off the GUI thread as runs compared with the reference; a run
  // that cannot be opened is told in a box, the others stay.
  void AddComparedRunFiles(const QStringList& files);

  // The state the windows share: the open run, the current step, the playback multiplier.
  ViewerSession& Session() { return *session_; }
  const ViewerSession& Session() const { return *session_; }

  // Asks for a run file; tests replace it. An empty result is a cancelled dialog. The dialog
  // completes a name typed without extension with ".HVX" and starts in the directory of the run
  // opened last, else in the program's directory.
  std::function<QString()> ChooseRunFile;
  // Asks for the runs of File > Add Run to Compare; tests replace it. Empty: cancelled.
  std::function<QStringList()> ChooseComparedFiles;
  // Runs the multiplier dialog; tests replace it. Returns whether it was closed with OK.
  std::function<bool()> RunMultiplierDialog;

  // Controls, named as the window defines them.
  QScrollBar* TimeBar = nullptr;
  QLabel* TLowLbl = nullptr;
  QLabel* TimeLbl = nullptr;
  QLabel* THiLbl = nullptr;
  QLabel* AtLO = nullptr;
  QLabel* At_T = nullptr;
  QLabel* AtHI = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  // Messages raised while the bar is moved (by the user, a key or the end of the playback).
  QLabel* StatusLine = nullptr;
  QAction* Open2 = nullptr;
  QAction* Quit1 = nullptr;
  QAction* Go = nullptr;
  QAction* Stop1 = nullptr;
  QAction* VideoTimeAdj1 = nullptr;
  QAction* Channels1 = nullptr;  // View > Channels (Ctrl+1)
  QAction* Video1 = nullptr;     // View > Video (Ctrl+2)
  QAction* OverlayHulls1 = nullptr;  // View > Overlay Hulls: checked while the session overlays them
  QAction* Spectra1 = nullptr;       // View > Spectra (Ctrl+3)
  QAction* Impacts1 = nullptr;       // View > Impact Distribution (Ctrl+4)
  QAction* Follow1 = nullptr;  // View > Follow (Ctrl+F): checked while the session follows the run
  RunFollower* Follower = nullptr;  // watches the followed run's file
  TVidFrm* VidFrm = nullptr;
  TComparedFrm* ComparedFrm = nullptr;
  TVmultFrm* VmultFrm = nullptr;
  TChannelsFrm* ChannelsFrm = nullptr;
  SpectraModel* Spectra = nullptr;  // what the Spectra and Impact Distribution windows show
  TSpectraFrm* SpectraFrm = nullptr;
  TImpactsFrm* ImpactsFrm = nullptr;

  CommandMessages Messages;
  // A run is loaded: its history is open and the bar may move.
  bool RunLoaded() const { return session_->RunLoaded(); }

public slots:
  void Open2Click();
  void Quit1Click();
  void GoClick();
  void Stop1Click();
  void VideoTimeAdj1Click();
  void TimeBarScroll(int action);
  // Space: Stop while playing, else Go (on the last step from step 0 again).
  void PlayOrStop();
  // A key's move of the bar, taken exactly as the user's move (nothing while no run is loaded).
  void MoveBar(QAbstractSlider::SliderAction action);
  // Ctrl+Up / Ctrl+Down: the multiplier times `factor` (0.5 or 2), kept within 1/1024 ... 1024.
  void ScaleVideoMult(float factor);
  // View menu: show and raise that window.
  void Channels1Click();
  void Video1Click();
  void Spectra1Click();
  void Impacts1Click();

protected:
  // Closing the main window (Quit or its close box) stops the playback and hides the Video
  // window, so that the program ends.
  void closeEvent(QCloseEvent* event) override;
  // While the menu bar is worked with the keyboard, the keys are the menu bar's, not the viewer's.
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CloseCurrentRun();
  // The session's observers: the run's range, the current step, the video commands.
  void RunOpened();
  void StepChanged(std::int32_t step, StepOrigin origin);
  // Back to what the window shows while no run is loaded.
  void ClearRunDisplay();
  // What an open that left no run loaded shows: nothing of the previous run, the description it read.
  void ShowOpenFailure();
  void CreateKeys();
  QString RunFileFromDialog();
  void ShowRangeLabels();
  void ShowCurrentLabels();
  void SetVideoCommands(bool enabled);
  // Runs a command body: errors that end it are shown once, then the messages it raised.
  void Command(const std::function<void()>& body);
  ViewerSession* session_;  // a child of this window
  std::string programDir_;
  QString lastRunDir_;  // directory of the run opened last
  std::unique_ptr<StatusLineDiagnostics> barMessages_;
  // The steps of a followed run grew: the bar's range and the range readouts follow.
  void RunGrew();
};

}  // namespace hulvex
