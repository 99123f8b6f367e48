#include "run/window_statistics.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <string>

#include "runfiles/channel_vocabulary.h"
#include "runfiles/time_history.h"

namespace hulvex {

const std::span<const float>* FindHeldValues(const StatisticsInput& input, int channel) {
  const auto it = std::find_if(input.Series.begin(), input.Series.end(), [&](const auto& s) { return s.first == channel; });
  return it == input.Series.end() ? nullptr : &it->second;
}

std::string AbsentChannelReason(const StatisticsInput& input, int channel) {
  const std::string c = std::to_string(channel);
  if (channel > input.LastChannel) {
    return "channel " + c + " is not stored (the last channel is " + std::to_string(input.LastChannel) + ")";
  }
  return "channel " + c + " is not held";
}

namespace {
namespace an = analysis;

// The figures `compute` gives over the window's steps of `channel`, each value multiplied by
// `scale`, numbered with the run's step numbers; `buffer` holds the scaled values.
template <typename Compute>
auto Over(const StatisticsInput& input, an::StepRange indices, int channel, double scale, std::vector<double>& buffer,
          Compute compute) -> decltype(compute(an::Series{})) {
  const std::span<const float>* values = FindHeldValues(input, channel);
  if (values == nullptr) return decltype(compute(an::Series{}))::Missing(AbsentChannelReason(input, channel));
  an::Series series = an::ScaledWindow(input.StepTimes, *values, indices, scale, buffer);
  series.FirstStep += input.FirstStep;
  return compute(series);
}

}  // namespace

WindowStatistics ComputeWindowStatistics(const StatisticsInput& input, const StatisticsRequest& request) {
  const std::span<const double> times = input.StepTimes;
  const an::StepRange indices = an::FindWindow(times, request.From, request.To);
  WindowStatistics w;
  w.From = std::isinf(request.From) && !times.empty() ? times.front() : request.From;
  w.To = std::isinf(request.To) && !times.empty() ? times.back() : request.To;
  w.Window = {indices.Begin + input.FirstStep, indices.End + input.FirstStep};

  // ISO 2631-1 takes the longest; it runs beside the rest on its own buffer (declared before the
  // future, whose destructor waits for it).
  std::vector<double> isoBuffer;
  std::future<an::Maybe<an::IsoFigures>> iso = std::async(std::launch::async, [&] {
    return Over(input, indices, kChAcceleration, an::kMetresPerFoot, isoBuffer, an::ComputeIso2631);
  });

  std::vector<double> buffer;
  for (int c : request.Channels) {
    w.Channels.emplace_back(c, Over(input, indices, c, DisplayFactorOf(c), buffer, an::ComputeChannelStatistics));
  }
  w.Impacts = Over(input, indices, kChAcceleration, DisplayFactorOf(kChAcceleration), buffer,
                   [&](const an::Series& s) { return an::ComputeImpacts(s, request.Threshold, request.Hysteresis); });
  if (w.Impacts.has_value()) {
    std::vector<double> heights;
    for (const an::Peak& p : w.Impacts->Peaks) heights.push_back(p.Height);
    w.Extremes = an::ComputeExtremes(heights, w.Impacts->PeaksPerMinute, request.ExposureHours);
  } else {
    w.Extremes = an::Maybe<an::ExtremeValues>::Missing(w.Impacts.Reason);
  }
  for (int c : kMotionChannels) {
    w.Motions.emplace_back(c, Over(input, indices, c, DisplayFactorOf(c), buffer,
                                   [&](const an::Series& s) { return an::ComputeMotions(s, request.Hysteresis); }));
  }
  w.Iso = iso.get();
  return w;
}

StatisticsSnapshot::StatisticsSnapshot(const StatisticsInput& input, double from, double to)
    : lastChannel_(input.LastChannel) {
  const an::StepRange range = an::FindWindow(input.StepTimes, from, to);
  // The steps [begin, end) of an array, clamped to it.
  auto part = [&](auto array) {
    const std::size_t begin = std::min(range.Begin, array.size());
    return array.subspan(begin, std::min(range.Count(), array.size() - begin));
  };
  const std::span<const double> times = part(input.StepTimes);
  stepTimes_.assign(times.begin(), times.end());
  firstStep_ = input.FirstStep + range.Begin;
  for (const auto& [channel, values] : input.Series) {
    const std::span<const float> kept = part(values);
    series_.emplace_back(channel, std::vector<float>(kept.begin(), kept.end()));
  }
}

StatisticsInput StatisticsSnapshot::View() const {
  StatisticsInput view{stepTimes_, firstStep_, lastChannel_, {}};
  for (const auto& [channel, values] : series_) view.Series.emplace_back(channel, values);
  return view;
}

}  // namespace hulvex
