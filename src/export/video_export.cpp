#include "export/video_export.h"

#include "export/video_file_writer.h"

namespace hulvex {

void CheckExportTarget(const std::string& path, const ExportSettings& settings) {
  CheckExportSettings(settings);
  CheckVideoTarget(path, settings.Fps);
}

ExportOutcome ExportFrames(FrameSource& frames, const std::string& path, int fps, const ExportControl& control,
                           Diagnostics& diag) {
  CheckVideoTarget(path, fps);
  auto cancelled = [&control] { return control.Cancel && control.Cancel->load(std::memory_order_relaxed); };
  if (cancelled()) return ExportOutcome::Cancelled;

  const QSize size = frames.FrameSize();
  VideoFileWriter writer(path, size.width(), size.height(), fps);
  QImage picture(size, QImage::Format_RGB32);
  picture.fill(Qt::white);
  while (frames.Next(picture, diag)) {
    writer.AddFrame(picture);
    if (control.Progress) control.Progress(frames.NextFrame(), frames.FrameCount());
    if (cancelled()) {
      writer.Abandon();
      return ExportOutcome::Cancelled;
    }
  }
  writer.Finish();
  return ExportOutcome::Written;
}

ExportOutcome ExportVideo(const VideoSource& source, const std::string& path, const ExportSettings& settings,
                          const ExportControl& control, Diagnostics& diag) {
  CheckExportTarget(path, settings);
  const ExportPlan plan = PlanExport(source.History(), settings);
  PlaybackFrames frames(source, plan, settings, diag);
  return ExportFrames(frames, path, settings.Fps, control, diag);
}

ExportOutcome ExportComparedVideo(std::span<const ComparedRun> runs, ComparedLayout layout, const std::string& path,
                                  const ExportSettings& settings, const ExportControl& control, Diagnostics& diag) {
  CheckExportTarget(path, settings);
  const ExportPlan plan = PlanComparedExport(runs, settings);
  ComparedFrames frames(runs, layout, plan, settings, diag);
  return ExportFrames(frames, path, settings.Fps, control, diag);
}

}  // namespace hulvex
