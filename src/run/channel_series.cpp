#include "run/channel_series.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"

namespace hulvex {

const ChannelSeries* FindSeries(const LoadedRun& run, int channel) {
  const auto it = std::find_if(run.Series.begin(), run.Series.end(), [&](const ChannelSeries& s) { return s.Channel == channel; });
  return it == run.Series.end() ? nullptr : &*it;
}

std::vector<int> MissingChannels(const LoadedRun& run) {
  std::vector<int> missing;
  for (int c : run.HeldChannels)
    if ((c < 0 || c > run.History.Header.LastChannel) && std::find(missing.begin(), missing.end(), c) == missing.end())
      missing.push_back(c);
  return missing;
}

const ChannelSeries& HoldChannel(LoadedRun& run, int channel, Diagnostics& diag) {
  const int one[] = {channel};
  HoldChannels(run, one, diag);
  return *FindSeries(run, channel);
}

void HoldChannels(LoadedRun& run, std::span<const int> channels, Diagnostics& diag) {
  if (!run.History.IsOpen) throw Error("No run is open");
  const int last = run.History.Header.LastChannel;
  std::vector<int> missing;
  for (int channel : channels) {
    if (channel < 0 || channel > last)
      throw Error("Channel " + std::to_string(channel) + " is not in this run: it stores channels 0 to " +
                  std::to_string(last));
    if (FindSeries(run, channel) == nullptr && std::find(missing.begin(), missing.end(), channel) == missing.end())
      missing.push_back(channel);
  }
  if (missing.empty()) return;
  auto values = ReadChannelSeries(run.History, missing, diag);
  for (std::size_t k = 0; k < missing.size(); ++k) {
    run.Series.push_back({missing[k], std::move(values[k])});
    if (std::find(run.HeldChannels.begin(), run.HeldChannels.end(), missing[k]) == run.HeldChannels.end())
      run.HeldChannels.push_back(missing[k]);
  }
}

void ReleaseChannel(LoadedRun& run, int channel) {
  std::erase(run.HeldChannels, channel);
  std::erase_if(run.Series, [&](const ChannelSeries& s) { return s.Channel == channel; });
}

double HeldBytesPerStep(const LoadedRun& run) {
  const std::size_t steps = run.History.StepTimes.size();
  if (steps == 0) return 0.0;
  std::size_t bytes = run.History.StepTimes.capacity() * sizeof(double) + run.SmoothTrack.capacity() * sizeof(float);
  for (const ChannelSeries& s : run.Series) bytes += s.Values.capacity() * sizeof(float);
  return static_cast<double>(bytes) / static_cast<double>(steps);
}

double HistoryPasses(const TimeHistory& history) {
  const std::uint64_t fileBytes = history.File.size();
  return fileBytes > 0 ? static_cast<double>(history.File.BytesRead()) / static_cast<double>(fileBytes) : 0.0;
}

std::int32_t StepNearest(std::span<const double> stepTimes, double t) {
  if (stepTimes.empty()) return -1;
  const auto it = std::lower_bound(stepTimes.begin(), stepTimes.end(), t);
  if (it == stepTimes.begin()) return 0;
  if (it == stepTimes.end()) return static_cast<std::int32_t>(stepTimes.size() - 1);
  const auto after = static_cast<std::int32_t>(it - stepTimes.begin());
  return t - *(it - 1) <= *it - t ? after - 1 : after;
}

}  // namespace hulvex
