#include "app/export_video.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QSpinBox>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "app/gui_messages.h"
#include "common/error.h"
#include "common/number_format.h"
#include "export/compared_views.h"
#include "export/video_export.h"
#include "export/video_file_writer.h"
#include "video/playback.h"

namespace hulvex {
namespace {

constexpr int kProgressSteps = 1000;
// The frame-rate bound the dialog offers for a name of no known format (refused after it).
constexpr int kMaxAnyFps = 120;

// The save dialog with a filter per format, proposing `proposed` (a path without extension); a
// name typed without a known extension gets the one of the chosen filter.
QString AskForVideoFile(QWidget* parent, const QString& proposed = QString()) {
  const QString mp4 = QStringLiteral("MP4 video (*.mp4)");
  const QString webm = QStringLiteral("WebM video (*.webm)");
  const QString gif = QStringLiteral("GIF animation (*.gif)");
  QString chosen = mp4;
  QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Export Video"),
                                              proposed.isEmpty() ? QString() : proposed + QStringLiteral(".mp4"),
                                              mp4 + QStringLiteral(";;") + webm + QStringLiteral(";;") + gif, &chosen);
  if (file.isEmpty() || VideoFormatOfPath(file.toStdString())) return file;
  if (chosen == webm) return file + QStringLiteral(".webm");
  if (chosen == gif) return file + QStringLiteral(".gif");
  return file + QStringLiteral(".mp4");
}

QString LengthText(std::int64_t frames, int fps) {
  return QStringLiteral("%1 frames, %2")
      .arg(frames)
      .arg(QString::fromStdString(FormatSeconds(static_cast<double>(frames) / fps)));
}

// The range, frame rate and scale to export (ExportVideoCommand::ChooseRange), with the multiplier
// and the resulting file's length shown as they change. False when the dialog is cancelled.
bool AskForSettings(QWidget* parent, const TimeHistory& history, int maxFps, ExportSettings& settings) {
  const std::vector<double>& times = history.StepTimes;
  const double first = times.front(), last = times.back();
  QDialog dialog(parent);
  dialog.setWindowTitle(QStringLiteral("Export Video"));
  auto* layout = new QFormLayout(&dialog);
  layout->addRow(new QLabel(QStringLiteral("The run lasts from %1 s to %2 s.").arg(first).arg(last), &dialog));
  auto seconds = [&](double value) {
    auto* spin = new QDoubleSpinBox(&dialog);
    spin->setDecimals(3);
    spin->setRange(first, last);
    spin->setSuffix(QStringLiteral(" s"));
    spin->setValue(value);
    return spin;
  };
  auto whole = [&](int low, int high, int value) {
    auto* spin = new QSpinBox(&dialog);
    spin->setRange(low, high);
    spin->setValue(value);
    return spin;
  };
  QDoubleSpinBox* fromBox = seconds(settings.From.value_or(first));
  QDoubleSpinBox* toBox = seconds(settings.To.value_or(last));
  QSpinBox* fpsBox = whole(1, maxFps, settings.Fps);
  QSpinBox* scaleBox = whole(1, kMaxExportScale, settings.Scale);
  fromBox->setObjectName(QStringLiteral("From"));
  toBox->setObjectName(QStringLiteral("To"));
  fpsBox->setObjectName(QStringLiteral("Fps"));
  scaleBox->setObjectName(QStringLiteral("Scale"));
  scaleBox->setToolTip(QStringLiteral("1 is 620 x 300 pixels, 2 is 1240 x 600 ..."));
  auto* length = new QLabel(&dialog);
  length->setObjectName(QStringLiteral("Length"));
  layout->addRow(QStringLiteral("From"), fromBox);
  layout->addRow(QStringLiteral("To"), toBox);
  layout->addRow(QStringLiteral("Frames per second"), fpsBox);
  layout->addRow(QStringLiteral("Scale"), scaleBox);
  layout->addRow(QStringLiteral("Multiplier"),
                 new QLabel(QString::fromStdString(ShortestVideoMult(static_cast<float>(settings.Multiplier))), &dialog));
  layout->addRow(QStringLiteral("Video"), length);
  auto chosen = [&] {
    ExportSettings s = settings;
    s.From = fromBox->value();
    s.To = toBox->value();
    s.Fps = fpsBox->value();
    s.Scale = scaleBox->value();
    return s;
  };
  auto update = [&] { length->setText(ExportLengthText(history, chosen())); };
  for (QDoubleSpinBox* box : {fromBox, toBox}) QObject::connect(box, &QDoubleSpinBox::valueChanged, &dialog, update);
  for (QSpinBox* box : {fpsBox, scaleBox}) QObject::connect(box, &QSpinBox::valueChanged, &dialog, update);
  update();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return false;
  settings = chosen();
  return true;
}

}  // namespace

QString ExportLengthText(const TimeHistory& history, const ExportSettings& settings) {
  try {
    return LengthText(PlanExport(history, settings).Frames, settings.Fps);
  } catch (const Error& e) {
    return QString::fromStdString(e.what());
  }
}

VideoExportCommand::VideoExportCommand(QWidget* parent) : QObject(parent), parent_(parent) {
  ChooseFile = [this] { return AskForVideoFile(parent_); };
  ChooseRange = [this](const TimeHistory& history, int maxFps, ExportSettings& settings) {
    return AskForSettings(parent_, history, maxFps, settings);
  };
  Present = [this](const QString& text) { QMessageBox::warning(parent_, QStringLiteral("Export Video"), text); };
  poll_.setInterval(100);
  connect(&poll_, &QTimer::timeout, this, &VideoExportCommand::ShowProgress);
}

VideoExportCommand::~VideoExportCommand() {
  if (worker_) {
    cancel_ = true;
    worker_->wait();
    delete worker_;
  }
}

void VideoExportCommand::Start(const LoadedRun& run, double from, double to, float multiplier) {
  if (Running()) return;
  std::shared_ptr<const VideoSource> source;
  try {
    source = std::make_shared<const VideoSource>(run);
  } catch (const std::exception& e) {
    Present(QString::fromStdString(e.what()));
    return;
  }
  ExportSettings settings;
  settings.From = from;
  settings.To = to;
  settings.Multiplier = multiplier;
  Launch(run.History, settings,
         {[source](const ExportSettings& s) { return PlanExport(source->History(), s).Frames; },
          [source](const std::string& path, const ExportSettings& s, const ExportControl& control, Diagnostics& diag) {
            return ExportVideo(*source, path, s, control, diag);
          }});
}

void VideoExportCommand::StartCompared(std::span<const LoadedRun* const> runs, ComparedLayout layout, double from,
                                       double to, float multiplier) {
  if (Running() || runs.empty()) return;
  // The copies the worker plays from, and the runs as the comparison names them.
  struct Copies {
    std::vector<std::unique_ptr<VideoSource>> Sources;
    std::vector<ComparedRun> Runs;
  };
  auto copies = std::make_shared<Copies>();
  try {
    for (const LoadedRun* run : runs) {
      copies->Sources.push_back(std::make_unique<VideoSource>(*run));
      copies->Runs.push_back({copies->Sources.back().get(), RunDisplayName(*run)});
    }
  } catch (const std::exception& e) {
    Present(QString::fromStdString(e.what()));
    return;
  }
  ExportSettings settings;
  settings.From = from;
  settings.To = to;
  settings.Multiplier = multiplier;
  Launch(runs.front()->History, settings,
         {[copies](const ExportSettings& s) { return PlanComparedExport(copies->Runs, s).Frames; },
          [copies, layout](const std::string& path, const ExportSettings& s, const ExportControl& control,
                           Diagnostics& diag) { return ExportComparedVideo(copies->Runs, layout, path, s, control, diag); }});
}

void VideoExportCommand::Launch(const TimeHistory& history, ExportSettings settings, Job job) {
  const QString file = ChooseFile();
  if (file.isEmpty()) return;
  const std::string path = file.toStdString();
  if (!history.StepTimes.empty()) {
    const auto format = VideoFormatOfPath(path);
    if (!ChooseRange(history, format ? MaxFramesPerSecond(*format) : kMaxAnyFps, settings)) return;
  }
  try {
    CheckExportTarget(path, settings);
    wroteText_ = QStringLiteral("Wrote %1 (%2)").arg(file, LengthText(job.Frames(settings), settings.Fps));
  } catch (const std::exception& e) {
    Present(QString::fromStdString(e.what()));
    return;
  }

  cancel_ = false;
  done_ = 0;
  total_ = 0;
  written_ = false;
  error_.clear();
  reported_.clear();
  progress_ = new QProgressDialog(QStringLiteral("Writing %1 ...").arg(QFileInfo(file).fileName()),
                                  QStringLiteral("Cancel"), 0, kProgressSteps, parent_);
  progress_->setWindowTitle(QStringLiteral("Export Video"));
  progress_->setWindowModality(Qt::NonModal);  // the windows and the playback go on meanwhile
  progress_->setWindowFlag(Qt::WindowStaysOnTopHint);  // not hidden behind the video window
  progress_->setAutoClose(false);
  progress_->setAutoReset(false);
  progress_->setMinimumDuration(0);
  progress_->setValue(0);
  connect(progress_, &QProgressDialog::canceled, this, [this] { cancel_ = true; });
  progress_->show();

  worker_ = QThread::create([this, job, path, settings] {
    // Summarised as a command's messages are: a step fault on every frame makes one short text.
    CommandMessages diag([] { return nullptr; });
    ExportControl control;
    control.Cancel = &cancel_;
    control.Progress = [this](std::int64_t done, std::int64_t total) {
      total_ = total;
      done_ = done;
    };
    try {
      written_ = job.Write(path, settings, control, diag) == ExportOutcome::Written;
    } catch (const std::exception& e) {
      error_ = e.what();
    }
    reported_ = diag.SummaryText();
  });
  connect(worker_, &QThread::finished, this, &VideoExportCommand::WorkerDone);
  worker_->start(QThread::LowPriority);
  poll_.start();
}

void VideoExportCommand::ShowProgress() {
  if (!progress_) return;
  const std::int64_t total = total_;
  if (total > 0) progress_->setValue(static_cast<int>(done_ * kProgressSteps / total));
}

void VideoExportCommand::WorkerDone() {
  poll_.stop();
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
  progress_->hide();
  progress_->deleteLater();
  progress_ = nullptr;

  // One box: the failure first, then the summary of what was reported on the way.
  QString text = QString::fromStdString(error_);
  if (!text.isEmpty() && !reported_.isEmpty()) text += QStringLiteral("\n");
  text += reported_;
  if (!text.isEmpty()) Present(text);
  if (written_) emit Wrote(wroteText_);
  emit Finished(written_);
}

VideoExportCommand* AddExportVideoCommand(QWidget* owner, const ViewerSession& session, QMenu* fileMenu, QAction* quit,
                                          std::function<QWidget*()> dialogOwner,
                                          std::function<void(const QString&)> present) {
  auto* command = new VideoExportCommand(owner);
  command->setObjectName(QStringLiteral("VideoExport"));
  command->Present = std::move(present);
  // The dialogs come above the Video window, as every dialog of the viewer does.
  // The file is proposed beside the run, named after it.
  command->ChooseFile = [&session, dialogOwner] {
    const QFileInfo run(QString::fromStdString(session.Reference().RunPath));
    return AskForVideoFile(dialogOwner(), run.absoluteDir().filePath(run.completeBaseName()));
  };
  command->ChooseRange = [dialogOwner](const TimeHistory& history, int maxFps, ExportSettings& settings) {
    return AskForSettings(dialogOwner(), history, maxFps, settings);
  };
  auto* action = new QAction(QStringLiteral("Export Video..."), fileMenu);
  action->setObjectName(QStringLiteral("ExportVideo1"));
  QAction* before = quit;
  const auto actions = fileMenu->actions();
  const auto at = actions.indexOf(quit);
  if (at > 0 && actions[at - 1]->isSeparator()) before = actions[at - 1];
  fileMenu->insertAction(before, action);
  QObject::connect(action, &QAction::triggered, command, [&session, command, action] {
    const auto& times = session.Reference().History.StepTimes;
    if (!session.RunLoaded() || times.empty()) {
      command->Present(QStringLiteral("Open a run first: there is nothing to export."));
      return;
    }
    if (session.ComparedCount() > 0) {
      // Every run, over the span they all cover (else the reference's).
      std::vector<const LoadedRun*> runs;
      double from = times.front(), to = times.back();
      for (std::size_t k = 0; k < session.RunCount(); ++k) {
        runs.push_back(&session.Run(k));
        const auto& own = session.Run(k).History.StepTimes;
        if (!own.empty()) from = std::max(from, own.front()), to = std::min(to, own.back());
      }
      if (!(from < to)) from = times.front(), to = times.back();
      command->StartCompared(runs, session.OverlayHulls() ? ComparedLayout::Overlay : ComparedLayout::Stacked, from,
                             to, session.VideoMult());
    } else {
      // The range the plots show, else the whole run.
      const auto visible = session.VisibleRange();
      command->Start(session.Reference(), visible ? visible->first : times.front(),
                     visible ? visible->second : times.back(), session.VideoMult());
    }
    action->setEnabled(!command->Running());  // one export at a time
  });
  QObject::connect(command, &VideoExportCommand::Finished, action, [action] { action->setEnabled(true); });
  return command;
}

}  // namespace hulvex
