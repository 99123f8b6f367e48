// frame, track: a step composed as the video shows it, and the camera track of the playback.
#include <ostream>

#include "cli/video_commands.h"
#include "common/error.h"
#include "video/readout.h"

namespace hulvex::cli {

namespace {

int Frame(const FrameOptions& o, std::ostream& out, Diagnostics& diag) {
  ComposedRunStep c;
  ComposeRunStep(c, o, diag);
  JsonWriter j;
  j.BeginObject();
  j.Key("StepTime").Number(c.step.StepTime);
  j.Key("DisplayList").BeginArray();
  for (std::size_t i = 0; i < c.frame.List.count; ++i)
    j.BeginArray().Number(c.frame.List.pairs[i].a).Number(c.frame.List.pairs[i].b).EndArray();
  j.EndArray();
  j.Key("Readout").String(ReadoutText(c.step.StepTime, c.step.Channels[kChAcceleration], c.step.Channels[kChSpeed]));
  j.EndObject();
  out << j.str();
  return 0;
}

int Track(const std::string& given, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  OpenRunHistory(run, given, diag);
  const auto track = BuildHistoryTrack(run.History, diag);
  JsonWriter j;
  j.BeginObject();
  j.Key("Window").Number(kTrackWindow);
  j.Key("SmoothTrack").BeginArray();
  for (float v : track) j.Number(v);
  j.EndArray();
  j.EndObject();
  out << j.str();
  return 0;
}

}  // namespace

void AddFrameOptions(CLI::App* cmd, FrameOptions& o) {
  cmd->add_option("RUN", o.run, "The run's .HVX file, or its path without extension")->required();
  cmd->add_option("STEP", o.step, "Step number")->required();
  cmd->add_option("--shift", o.shift, "Picture shift to the left, boat lengths (default 0)");
  cmd->add_option("--threshold", o.threshold, "Channel 8 above this carries no local surface term (default 1000)");
  cmd->add_option("--data-dir", o.dataDir, "Where boat and spline files are looked for after the run's directory");
}

void RegisterVideoCommands(Tool& tool) {
  auto frame = std::make_shared<FrameOptions>();
  CLI::App* frameCmd = AddCommand(tool, "frame", "One step composed as the video shows it, as JSON", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Frame(*frame, out, d); });
  });
  AddFrameOptions(frameCmd, *frame);

  auto run = std::make_shared<std::string>();
  CLI::App* track = AddCommand(tool, "track", "The camera track of the playback (SmoothTrack) as JSON", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Track(*run, out, d); });
  });
  track->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();

#ifdef HULVEX_HAVE_RENDER
  RegisterRenderCommand(tool);
  RegisterExportCommand(tool);
#endif
}

}  // namespace hulvex::cli
