// video: the playback of a run, or of several runs on one clock, written as a video file (MP4,
// WebM or GIF), without a display.
#include <QGuiApplication>

#include <filesystem>
#include <memory>
#include <ostream>
#include <vector>

#include "cli/video_commands.h"
#include "common/error.h"
#include "export/video_export.h"
#include "video/frame_drawing.h"
#include "video/run_colours.h"

namespace hulvex::cli {
namespace {

struct VideoOptions {
  std::vector<std::string> runs;
  bool overlay = false;
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
  OpenWholeRun(run, o.runs.front(), o.dataDir, diag);
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

// Several runs on one clock, stacked or overlaid. Each run is opened and its video's needs copied
// before the next is opened, so only one run's loading is held at a time.
int WriteComparedVideo(const VideoOptions& o, std::ostream& out, Diagnostics& diag) {
  std::vector<std::unique_ptr<VideoSource>> sources;
  std::vector<ComparedRun> runs;
  for (const std::string& given : o.runs) {
    try {
      LoadedRun run;
      OpenWholeRun(run, given, o.dataDir, diag);
      sources.push_back(std::make_unique<VideoSource>(run));
      runs.push_back({sources.back().get(), std::filesystem::path(run.RunPath).filename().string()});
    } catch (const Error& e) {
      throw Error("Cannot open the run " + given + ": " + e.what());
    }
  }
  const auto app = EnsureGuiApplication();
  const ExportSettings settings = SettingsOf(o);
  const ComparedLayout layout = o.overlay ? ComparedLayout::Overlay : ComparedLayout::Stacked;
  const ExportPlan plan = PlanComparedExport(runs, settings);
  ExportComparedVideo(runs, layout, o.output, settings, ExportControl{}, diag);
  const QSize size = ComparedFrameSize(static_cast<int>(runs.size()), layout, settings.Scale);
  out << "wrote " << o.output << ": " << plan.Frames << " frames of " << size.width() << " x " << size.height()
      << " at " << settings.Fps << " per second, " << plan.From << " s to " << plan.To << " s of " << runs.size()
      << (o.overlay ? " runs overlaid on " + runs.front().Name : std::string(" runs stacked")) << "\n";
  return 0;
}

}  // namespace

void RegisterExportCommand(Tool& tool) {
  auto o = std::make_shared<VideoOptions>();
  CLI::App* cmd = AddCommand(
      tool, "video",
      "The playback of a run as a video file: MP4, WebM or GIF. Several runs play on one clock, one pane "
      "per run stacked top to bottom, or with --overlay as the further runs' hulls drawn in colour over the first",
      [=] {
        // Settings that are wrong whatever the run are usage errors.
        try {
          CheckExportTarget(o->output, SettingsOf(*o));
        } catch (const Error& e) {
          throw CLI::ValidationError(e.what());
        }
        if (o->runs.size() > static_cast<std::size_t>(kMaxComparedRuns))
          throw CLI::ValidationError("At most " + std::to_string(kMaxComparedRuns) + " runs can be played together, not " +
                                     std::to_string(o->runs.size()));
        if (o->overlay && o->runs.size() < 2) throw CLI::ValidationError("--overlay needs two or more runs");
        return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) {
          return o->runs.size() == 1 && !o->overlay ? WriteVideo(*o, out, d) : WriteComparedVideo(*o, out, d);
        });
      });
  cmd->add_option("RUN", o->runs,
                  "The runs' .HVX files, or their paths without extension: one, or up to 8 played together "
                  "(the first is the reference of --overlay)")
      ->required();
  cmd->add_flag("--overlay", o->overlay,
                "With two or more runs: one picture, the first run's, with each further run's hull and sea line "
                "in its own colour and a legend of the names, instead of one pane per run");
  cmd->add_option("-o,--output", o->output, "The video file: .mp4 (H.264), .webm (VP9) or .gif (looping)")->required();
  o->fromGiven = cmd->add_option(
      "--from", o->from, "Start time, s (default: the first step's; of several runs, the latest first step's)");
  o->toGiven = cmd->add_option("--to", o->to,
                               "End time, s (default: the last step's; of several runs, the earliest last step's)");
  cmd->add_option("--fps", o->settings.Fps, "Frames per second (default 25)");
  cmd->add_option("--multiplier", o->settings.Multiplier,
                  "Seconds of video per simulated second, as the viewer's multiplier (default 1)");
  cmd->add_option("--scale", o->settings.Scale, "Picture size: 1 is 620 x 300, 2 is 1240 x 600 ... (default 1)");
  cmd->add_option("--data-dir", o->dataDir, "Where boat and spline files are looked for after the run's directory");
}

}  // namespace hulvex::cli
