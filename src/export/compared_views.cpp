#include "export/compared_views.h"

#include <filesystem>

#include "common/error.h"

namespace hulvex {

std::string RunDisplayName(const LoadedRun& run) { return std::filesystem::path(run.RunPath).filename().string(); }

std::vector<ComparedView> MakeComparedViews(std::span<const LoadedRun* const> runs) {
  std::vector<ComparedView> views(runs.size());
  for (std::size_t i = 0; i < runs.size(); ++i) {
    views[i].Name = RunDisplayName(*runs[i]);
    try {
      views[i].Source = std::make_unique<VideoSource>(*runs[i]);
    } catch (const Error& e) {
      views[i].Reason = e.what();
    }
  }
  return views;
}

void StartComparedViews(std::vector<ComparedView>& views, double from, Diagnostics& diag) {
  for (ComparedView& view : views) {
    view.Playback.reset();
    if (!view.Source) continue;
    try {
      view.Playback = std::make_unique<RunPlayback>(*view.Source, from, diag);
      view.Reason.clear();
    } catch (const Error& e) {
      view.Reason = e.what();
    }
  }
}

}  // namespace hulvex
