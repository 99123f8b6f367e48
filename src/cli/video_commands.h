// What the frame and render subcommands share.
#pragma once

#include <cstdint>
#include <string>

#include "cli/cli_support.h"
#include "video/frame_composition.h"
#include "video/video_player.h"

namespace hulvex::cli {

// The frame and render subcommands' options, a step to compose alone.
using FrameOptions = StepFrameRequest;

void AddFrameOptions(CLI::App* cmd, FrameOptions& o);

// render: the picture as PNG (only where the picture drawing is built).
void RegisterRenderCommand(Tool& tool);
// video: the playback as a video file (only where the picture drawing is built).
void RegisterExportCommand(Tool& tool);

}  // namespace hulvex::cli
