#include "run/time_navigation.h"

#include "common/number_format.h"

namespace hulvex {
namespace {

std::string Cut(std::string s, std::size_t limit) {
  if (s.size() > limit) s.resize(limit);
  return s;
}

double TimeOf(const std::vector<double>& stepTimes, std::int32_t step) {
  return step >= 0 && static_cast<std::size_t>(step) < stepTimes.size() ? stepTimes[static_cast<std::size_t>(step)] : 0.0;
}

}  // namespace

std::int32_t ComputePageStep(std::int32_t highStep, std::int32_t lowStep) {
  const std::int32_t h = highStep;
  std::int32_t page;
  if (h < 4000) page = 1;
  else if (h < 10000) page = 2;
  else if (h < 15000) page = 3;
  else if (h < 20000) page = 4;
  else if (h < 30000) page = 5;
  else if (h < 50000) page = 8;
  else if (h < 320000) page = 10;
  else page = h / 32000;
  const std::int32_t least = static_cast<std::int32_t>((std::int64_t{highStep} - lowStep) / 32767 + 1);
  return page < least ? least : page;
}

TimeNavigation SetUpTimeBar(std::int32_t highStep) {
  TimeNavigation nav;
  nav.LowStep = 0;
  nav.HighStep = highStep;
  nav.CurrentStep = 0;
  nav.PageStep = ComputePageStep(highStep, 0);
  return nav;
}

std::int32_t StepAtOrBefore(std::span<const double> stepTimes, double t) {
  // The first step later than t, by halving; every comparison is false for a NaN t.
  std::size_t low = 0, high = stepTimes.size();
  while (low < high) {
    const std::size_t mid = low + (high - low) / 2;
    if (stepTimes[mid] <= t) low = mid + 1;
    else high = mid;
  }
  return low == 0 ? 0 : static_cast<std::int32_t>(low - 1);
}

std::string FormatStepTime(double t) { return Cut(FormatFixed(t, 12, 6), 15); }

RangeLabels MakeRangeLabels(const TimeNavigation& nav, const std::vector<double>& stepTimes) {
  RangeLabels l;
  l.TLowLbl = Cut("Low _T =" + FormatStepTime(TimeOf(stepTimes, nav.LowStep)), 23);
  l.AtLO = "at _JT=" + std::to_string(nav.LowStep);
  l.THiLbl = Cut("Hi _T =" + FormatStepTime(TimeOf(stepTimes, nav.HighStep)), 22);
  l.AtHI = "at _JT=" + std::to_string(nav.HighStep);
  return l;
}

CurrentTimeLabels MakeCurrentTimeLabels(std::int32_t step, const std::vector<double>& stepTimes) {
  return {Cut("_T =" + FormatStepTime(TimeOf(stepTimes, step)), 19), "at _JT=" + std::to_string(step)};
}

}  // namespace hulvex
