// The main window: the menu commands, the time bar and its readouts, the case description.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <functional>
#include <string>

#include "app/channels_frm.h"
#include "app/gui_messages.h"
#include "app/vmult_frm.h"
#include "run/loaded_run.h"
#include "run/time_navigation.h"
#include "video/video_window.h"

namespace hulvex {

class TForm1 : public QMainWindow {
  Q_OBJECT
public:
  // `programDir` is the program's data directory (boat and spline files are looked up there
  // after the run's own directory).
  explicit TForm1(std::string programDir, QWidget* parent = nullptr);
  ~TForm1() override;

  // Creates the video window, the multiplier dialog and the Channels window (after the start-up
  // box, as at start-up).
  void CreateSecondaryWindows();

  // Everything Open does after the file dialog, for the run whose ".HVX" file is `file`.
  void OpenRunFile(const QString& file);

  // Makes s the current step and reads it once with conversion (checking its step number).
  // The bar and the readouts are not touched.
  void GoToStep(std::int32_t s);

  // Asks for a run file; tests replace it. An empty result is a cancelled dialog.
  std::function<QString()> ChooseRunFile;
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
  QAction* Open2 = nullptr;
  QAction* Quit1 = nullptr;
  QAction* Go = nullptr;
  QAction* Stop1 = nullptr;
  QAction* VideoTimeAdj1 = nullptr;
  QAction* Channels1 = nullptr;  // View > Channels (Ctrl+1)
  QAction* Video1 = nullptr;     // View > Video (Ctrl+2)
  TVidFrm* VidFrm = nullptr;
  TVmultFrm* VmultFrm = nullptr;
  TChannelsFrm* ChannelsFrm = nullptr;

  CommandMessages Messages;
  LoadedRun Run;
  TimeNavigation Nav;
  float VideoMult = 1.0f;
  // A run is loaded: its history is open and the bar may move.
  bool RunLoaded() const { return Run.History.IsOpen; }

public slots:
  void Open2Click();
  void Quit1Click();
  void GoClick();
  void Stop1Click();
  void VideoTimeAdj1Click();
  void TimeBarScroll(int action);
  // View menu: show and raise that window.
  void Channels1Click();
  void Video1Click();

private:
  void CloseCurrentRun();
  void ShowRangeLabels();
  void ShowCurrentTime();
  void SetVideoCommands(bool enabled);
  // Runs a command body: errors that end it are shown once, then the messages it raised.
  void Command(const std::function<void()>& body);
  std::string programDir_;
};

}  // namespace hulvex
