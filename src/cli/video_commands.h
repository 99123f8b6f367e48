// What the frame and render subcommands share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "cli/cli_support.h"
#include "video/frame_composition.h"
#include "video/video_player.h"

class QGuiApplication;

namespace hulvex::cli {

struct FrameOptions {
  std::string run;
  std::int32_t step = 0;
  float shift = 0.0f;
  float threshold = kShowStepThreshold;
  std::string dataDir;
};

void AddFrameOptions(CLI::App* cmd, FrameOptions& o);

// A run opened whole, one of its steps read raw, and its frame composed as the video composes a
// single step (with the options' shift and threshold).
struct ComposedStep {
  LoadedRun run;
  StepValues step;
  VideoFrame frame;
};

// Throws Error when the run cannot be opened, its hull cannot be drawn, or the step is not there.
void ComposeRunStep(ComposedStep& out, const FrameOptions& o, Diagnostics& diag);

// render: the picture as PNG (only where the picture drawing is built).
void RegisterRenderCommand(Tool& tool);
// video: the playback as a video file (only where the picture drawing is built).
void RegisterExportCommand(Tool& tool);

// The application object the fonts of the picture need (offscreen, toolkit notes other than
// errors silenced), or nothing when one exists already (the viewer's, a test's).
std::unique_ptr<QGuiApplication> EnsureGuiApplication();

}  // namespace hulvex::cli
