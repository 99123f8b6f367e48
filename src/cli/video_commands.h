// What the frame and render subcommands share.
#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_support.h"
#include "video/frame_composition.h"
#include "video/video_player.h"

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

}  // namespace hulvex::cli
