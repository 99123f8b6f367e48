// The compared runs as a viewer window shows them on the session's clock: a copy of what each
// run's video needs, and its playback from the time the picture last started.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "export/playback_frames.h"
#include "run/loaded_run.h"

namespace hulvex {

// The name a run goes by in panes, legends and titles: its file name without the directory.
std::string RunDisplayName(const LoadedRun& run);

// One run of a viewer's comparison.
struct ComparedView {
  std::string Name;
  std::unique_ptr<VideoSource> Source;   // null when the run's video cannot be made
  std::string Reason;                    // why it cannot be drawn (an Error's text), else empty
  std::unique_ptr<RunPlayback> Playback; // null before StartComparedViews and while Reason is set
};

// One view per run, in order, each with its own copy of what its video needs (VideoSource); a run
// whose VideoSource cannot be made (a hull that cannot be drawn, a file that cannot be opened
// again) keeps the Error's text as its Reason. The runs may be closed afterwards.
std::vector<ComparedView> MakeComparedViews(std::span<const LoadedRun* const> runs);

// Starts every view that has a source at time `from`: its step at `from` composed as Go shows
// it, its later steps shifted by its own camera from there (RunPlayback). A view whose first step
// cannot be read is left without a playback, the Error's text as its Reason.
void StartComparedViews(std::vector<ComparedView>& views, double from, Diagnostics& diag);

}  // namespace hulvex
