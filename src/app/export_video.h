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
#include <span>
#include <string>

#include "export/compared_frames.h"
#include "export/playback_frames.h"
#include "export/video_export.h"
#include "run/loaded_run.h"
#include "session/viewer_session.h"

namespace hulvex {

// What an export of `settings` over `history` makes, as the range dialog shows it: "N frames,
// D s" with N the frame count of PlanExport (the plan the export writes) and D = N / Fps; the
// refusal's text when PlanExport refuses the settings.
QString ExportLengthText(const TimeHistory& history, const ExportSettings& settings);

class VideoExportCommand : public QObject {
  Q_OBJECT
public:
  // `parent` owns the command and is the parent of its dialogs.
  explicit VideoExportCommand(QWidget* parent);
  // Cancels an export still running and waits for its thread.
  ~VideoExportCommand() override;

  // Asks for the file (ChooseFile), then the range, frame rate and scale (ChooseRange, proposing
  // [from, to] s, 25 frames per second, scale 1), then writes the playback of that range of
  // `run` at the viewer's `multiplier`. Returns at once: the frames are written
  // on a worker thread from a copy of what the video needs, so the run may be closed or another
  // opened meanwhile. A problem found before the start, or a failed export, is shown in one box
  // (Present); a cancelled or failed export leaves no file; a written one is reported by
  // Wrote. Does nothing while an export runs.
  void Start(const LoadedRun& run, double from, double to, float multiplier);
  // As Start, for `runs` (the reference first, 1 ... kMaxComparedRuns) played on one clock in
  // `layout` (ExportComparedVideo); the range dialog offers the first run's times. A run that
  // cannot be drawn is told in the box before anything is asked.
  void StartCompared(std::span<const LoadedRun* const> runs, ComparedLayout layout, double from, double to,
                     float multiplier);

  bool Running() const { return worker_ != nullptr; }
  // The progress dialog while an export runs, else null.
  QProgressDialog* ProgressDialog() const { return progress_; }

  // Asks for the file to write; an empty result is a cancelled dialog. Tests replace it.
  std::function<QString()> ChooseFile;
  // Asks for the stretch of `history` to export, the frame rate (1 ... maxFps) and the scale,
  // proposing `settings`' From, To, Fps and Scale (From and To given) and showing its Multiplier;
  // leaves the choice in `settings`. False when cancelled. Tests replace it.
  std::function<bool(const TimeHistory& history, int maxFps, ExportSettings& settings)> ChooseRange;
  // Shows one message box. The main window passes its own; tests replace it.
  std::function<void(const QString&)> Present;

signals:
  // The export has ended: written is true when the file is complete.
  void Finished(bool written);
  // A file has been written, before Finished: "Wrote PATH (N frames, D s)", for a status line.
  void Wrote(const QString& text);

private:
  // What one export writes, from copies the worker owns: the plan's frame count (for the report;
  // throws Error for settings the plan refuses) and the writing.
  struct Job {
    std::function<std::int64_t(const ExportSettings&)> Frames;
    std::function<ExportOutcome(const std::string&, const ExportSettings&, const ExportControl&, Diagnostics&)> Write;
  };
  // Asks for the file and the range (over `history`), checks them and runs `job` on the worker.
  void Launch(const TimeHistory& history, ExportSettings settings, Job job);
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
  QString wroteText_;  // what Wrote says when the file is written
  std::string error_;
  QString reported_;  // the summary of the messages the export reported (CommandMessages)
};

// Adds File > Export Video... to `fileMenu` ahead of `quit` (and of the separator before it),
// exporting the reference run of `session` over its visible range (else the whole run) at its
// multiplier; with compared runs, all the runs (StartCompared) overlaid while the session's
// OverlayHulls is on, else stacked, proposing the span every run covers (else the reference's); the item is disabled while an export runs. `dialogOwner` gives the window its
// dialogs stack above, `present` shows a message box. Returns the command (owned by `owner`),
// whose Wrote the caller may show.
VideoExportCommand* AddExportVideoCommand(QWidget* owner, const ViewerSession& session, QMenu* fileMenu, QAction* quit,
                                          std::function<QWidget*()> dialogOwner,
                                          std::function<void(const QString&)> present);

}  // namespace hulvex
