// video: the playback of a run written as a video file (MP4, WebM or GIF), without a display.
#include <QGuiApplication>

#include <memory>
#include <ostream>

#include "cli/video_commands.h"
#include "common/error.h"
#include "export/video_export.h"

namespace hulvex::cli {
namespace {

struct VideoOptions {
  std::string run;
  std::string output;
  std::string dataDir;
  double from = 0;
  double to = 0;
  CLI::Option* fromGiven = nullptr;
  CLI::Option* toGiven = nullptr;
  ExportSettings settings;
};

ExportSettings SettingsOf(const VideoOptions& o) {
  ExportSettings s = o.settings;
  if (o.fromGiven->count() > 0) s.From = o.from;
  if (o.toGiven->count() > 0) s.To = o.to;
  return s;
}

int WriteVideo(const VideoOptions& o, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenWholeRun(run, o.run, o.dataDir, diag);
  const VideoSource source(run);
  const auto app = EnsureGuiApplication();
  const ExportSettings settings = SettingsOf(o);
  const ExportPlan plan = PlanExport(source.History(), settings);
  ExportVideo(source, o.output, settings, ExportControl{}, diag);
  out << "wrote " << o.output << ": " << plan.Frames << " frames of " << kFrameWidth * settings.Scale << " x "
      << kFrameHeight * settings.Scale << " at " << settings.Fps << " per second, " << plan.From << " s to " << plan.To
      << " s of the run\n";
  return 0;
}

}  // namespace

void RegisterExportCommand(Tool& tool) {
  auto o = std::make_shared<VideoOptions>();
  CLI::App* cmd = AddCommand(tool, "video", "The playback of a run as a video file: MP4, WebM or GIF", [=] {
    // Settings that are wrong whatever the run are usage errors.
    try {
      CheckExportTarget(o->output, SettingsOf(*o));
    } catch (const Error& e) {
      throw CLI::ValidationError(e.what());
    }
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return WriteVideo(*o, out, d); });
  });
  cmd->add_option("RUN", o->run, "The run's .HVX file, or its path without extension")->required();
  cmd->add_option("-o,--output", o->output, "The video file: .mp4 (H.264), .webm (VP9) or .gif (looping)")->required();
  o->fromGiven = cmd->add_option("--from", o->from, "Start time, s (default: the first step's)");
  o->toGiven = cmd->add_option("--to", o->to, "End time, s (default: the last step's)");
  cmd->add_option("--fps", o->settings.Fps, "Frames per second (default 25)");
  cmd->add_option("--multiplier", o->settings.Multiplier,
                  "Seconds of video per simulated second, as the viewer's multiplier (default 1)");
  cmd->add_option("--scale", o->settings.Scale, "Picture size: 1 is 620 x 300, 2 is 1240 x 600 ... (default 1)");
  cmd->add_option("--data-dir", o->dataDir, "Where boat and spline files are looked for after the run's directory");
}

}  // namespace hulvex::cli
