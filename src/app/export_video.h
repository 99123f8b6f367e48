// File > Export Video...: the playback of the loaded run written to a video file on a worker
// thread, with a progress dialog and Cancel, while the windows stay usable.
#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QProgressDialog>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "run/loaded_run.h"
#include "session/viewer_session.h"

namespace hulvex {

class VideoExportCommand : public QObject {
  Q_OBJECT
public:
  // `parent` owns the command and is the parent of its dialogs.
  explicit VideoExportCommand(QWidget* parent);
  // Cancels an export still running and waits for its thread.
  ~VideoExportCommand() override;

  // Asks for the file (ChooseFile) and the range (ChooseRange, proposing [from, to] s), then
  // writes the playback of that range of `run` at the viewer's `multiplier`, 25 frames per
  // second, scale 1. Returns at once: the frames are written
  // on a worker thread from a copy of what the video needs, so the run may be closed or another
  // opened meanwhile. A problem found before the start, or a failed export, is shown in one box
  // (Present); a cancelled or failed export leaves no file. Does nothing while an export runs.
  void Start(const LoadedRun& run, double from, double to, float multiplier);

  bool Running() const { return worker_ != nullptr; }
  // The progress dialog while an export runs, else null.
  QProgressDialog* ProgressDialog() const { return progress_; }

  // Asks for the file to write; an empty result is a cancelled dialog. Tests replace it.
  std::function<QString()> ChooseFile;
  // Asks for the range to export within [first, last] s, proposing `from` and `to` and leaving
  // the choice in them; false when cancelled. Tests replace it.
  std::function<bool(double first, double last, double& from, double& to)> ChooseRange;
  // Shows one message box. The main window passes its own; tests replace it.
  std::function<void(const QString&)> Present;

signals:
  // The export has ended: written is true when the file is complete.
  void Finished(bool written);

private:
  void ShowProgress();
  void WorkerDone();

  QWidget* parent_;
  QThread* worker_ = nullptr;
  QProgressDialog* progress_ = nullptr;
  QTimer poll_;
  std::atomic<bool> cancel_{false};
  std::atomic<std::int64_t> done_{0};
  std::atomic<std::int64_t> total_{0};
  // Written by the worker, read after it has finished.
  bool written_ = false;
  std::string error_;
  QString reported_;  // the summary of the messages the export reported (CommandMessages)
};

// Adds File > Export Video... to `fileMenu` ahead of `quit` (and of the separator before it),
// exporting the reference run of `session` over its visible range (else the whole run) at its
// multiplier; the item is disabled while an export runs. `dialogOwner` gives the window its
// dialogs stack above, `present` shows a message box. Returns the command (owned by `owner`).
VideoExportCommand* AddExportVideoCommand(QWidget* owner, const ViewerSession& session, QMenu* fileMenu, QAction* quit,
                                          std::function<QWidget*()> dialogOwner,
                                          std::function<void(const QString&)> present);

}  // namespace hulvex
