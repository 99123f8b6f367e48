#include "run/window_statistics.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/constants.h"
#include "run/channel_series.h"

namespace hulvex {
namespace an = analysis;

WindowStatistics ComputeWindowStatistics(const StatisticsInput& input, const StatisticsRequest& request) {
  WindowStatistics w;
  const auto& t = input.StepTimes;
  const an::StepRange local = an::FindWindow(t, request.From, request.To);
  w.From = std::isinf(request.From) && !t.empty() ? t.front() : request.From;
  w.To = std::isinf(request.To) && !t.empty() ? t.back() : request.To;
  w.Window = {local.Begin + input.FirstStep, local.End + input.FirstStep};
  std::vector<double> buffer;
  auto find = [&](int c) -> const std::span<const float>* {
    for (const auto& [ch, v] : input.Series)
      if (ch == c) return &v;
    return nullptr;
  };
  auto reason = [&](int c) {
    return c > input.LastChannel ? "channel " + std::to_string(c) + " is not stored (the last channel is " +
                                       std::to_string(input.LastChannel) + ")"
                                 : "channel " + std::to_string(c) + " is not held";
  };
  auto over = [&](int c, double scale, auto compute) -> decltype(compute(an::Series{})) {
    const std::span<const float>* v = find(c);
    if (!v) return decltype(compute(an::Series{}))::Missing(reason(c));
    an::Series s = an::ScaledWindow(t, *v, local, scale, buffer);
    s.FirstStep += input.FirstStep;
    return compute(s);
  };
  for (int c : request.Channels) w.Channels.emplace_back(c, over(c, DisplayOf(c).Factor, an::ComputeChannelStatistics));
  w.Impacts = over(kChAcceleration, kFtPerS2ToG, [&](const an::Series& s) { return an::ComputeImpacts(s, request.Threshold); });
  w.Iso = over(kChAcceleration, an::kMetresPerFoot, an::ComputeIso2631);
  for (int c : {int{kChHeight}, int{kChPitch}}) w.Motions.emplace_back(c, over(c, DisplayOf(c).Factor, an::ComputeMotions));
  return w;
}

StatisticsSnapshot::StatisticsSnapshot(const StatisticsInput& input, double from, double to)
    : lastChannel_(input.LastChannel) {
  const an::StepRange r = an::FindWindow(input.StepTimes, from, to);
  firstStep_ = input.FirstStep + r.Begin;
  times_.assign(input.StepTimes.begin() + static_cast<std::ptrdiff_t>(r.Begin),
                input.StepTimes.begin() + static_cast<std::ptrdiff_t>(r.Begin + r.Count()));
  for (const auto& [c, v] : input.Series) {
    const std::size_t end = std::min(v.size(), r.Begin + r.Count());
    const std::size_t begin = std::min(r.Begin, end);
    values_.emplace_back(c, std::vector<float>(v.begin() + static_cast<std::ptrdiff_t>(begin),
                                               v.begin() + static_cast<std::ptrdiff_t>(end)));
  }
}

StatisticsInput StatisticsSnapshot::View() const {
  StatisticsInput in;
  in.StepTimes = times_;
  in.FirstStep = firstStep_;
  in.LastChannel = lastChannel_;
  for (const auto& [c, v] : values_) in.Series.emplace_back(c, std::span<const float>(v));
  return in;
}

}  // namespace hulvex
