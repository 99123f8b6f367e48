#include "run/followed_run.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace hulvex {

HistoryExtension ExtendRun(LoadedRun& run, Diagnostics& diag) {
  const std::size_t before = run.History.StepTimes.size();
  CameraTrackFeed& feed = run.TrackFeed;
  const bool withTrack = !run.SmoothTrack.empty() && run.SmoothTrack.size() == before &&
                         feed.Base + feed.Distance.size() == before && feed.Distance.size() == feed.Speed.size();
  // The arrays take the length the header announces at once, so that no later extension copies
  // them (a copy costs as much as the whole run; with LastStep not known they grow by doubling).
  const std::int64_t announced = std::int64_t{run.History.Header.LastStep} + 1;
  if (announced > static_cast<std::int64_t>(run.History.StepTimes.capacity())) {
    const auto n = static_cast<std::size_t>(announced);
    run.History.StepTimes.reserve(n);
    for (ChannelSeries& s : run.Series) s.Values.reserve(n);
    if (withTrack) run.SmoothTrack.reserve(n);
  }
  // The arrays to extend are lent to the history's reader (moved, not copied) and taken back.
  std::vector<ChannelSeries> collect;
  if (withTrack) {
    collect.push_back({kChDistance, std::move(feed.Distance)});
    collect.push_back({kChSpeed, std::move(feed.Speed)});
  }
  const std::size_t first = collect.size();
  for (ChannelSeries& s : run.Series) collect.push_back(std::move(s));
  auto giveBack = [&] {
    if (withTrack) {
      feed.Distance = std::move(collect[0].Values);
      feed.Speed = std::move(collect[1].Values);
    }
    for (std::size_t k = 0; k < run.Series.size(); ++k) run.Series[k] = std::move(collect[first + k]);
  };
  HistoryExtension grown;
  try {
    grown = ExtendTimeHistory(run.History, collect, diag);
  } catch (...) {
    giveBack();
    throw;
  }
  giveBack();
  if (grown.Growth != HistoryGrowth::Grew || !withTrack) return grown;
  const std::size_t count = run.History.StepTimes.size();
  run.SmoothTrack.resize(count);
  for (std::size_t i = before; i < count; ++i) run.SmoothTrack[i] = feed.Distance[i - feed.Base];
  FeedCameraTrack(run.History, run.SmoothTrack, feed, before);
  return grown;
}

}  // namespace hulvex
