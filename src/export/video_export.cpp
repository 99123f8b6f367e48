#include "export/video_export.h"

#include "export/video_file_writer.h"
#include "video/display_list.h"
#include "video/frame_drawing.h"

namespace hulvex {

void CheckExportTarget(const std::string& path, const ExportSettings& settings) {
  CheckExportSettings(settings);
  CheckVideoTarget(path, settings.Fps);
}

ExportOutcome ExportVideo(const VideoSource& source, const std::string& path, const ExportSettings& settings,
                          const ExportControl& control, Diagnostics& diag) {
  CheckExportTarget(path, settings);
  const ExportPlan plan = PlanExport(source.History(), settings);
  PlaybackFrames frames(source, plan, settings, diag);
  auto cancelled = [&control] { return control.Cancel && control.Cancel->load(std::memory_order_relaxed); };
  if (cancelled()) return ExportOutcome::Cancelled;

  VideoFileWriter writer(path, kFrameWidth * settings.Scale, kFrameHeight * settings.Scale, settings.Fps);
  QImage picture = MakeFrameBitmap(settings.Scale);
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

}  // namespace hulvex
