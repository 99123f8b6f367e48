// Moving through the stored steps: the time bar's range and page, and the readout texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hulvex {

// At most this many runs are played on one clock: the reference and seven compared with it.
inline constexpr int kMaxComparedRuns = 8;

// The navigation state of the open run.
struct TimeNavigation {
  std::int32_t CurrentStep = 0;
  std::int32_t LowStep = 0;
  std::int32_t HighStep = 0;
  std::int32_t PageStep = 1;
  // The bar's large change: 20 x PageStep steps.
  std::int32_t LargeChange() const { return 20 * PageStep; }
};

// PageStep for a range 0 ... highStep: the table by size of the run, then raised to at least
// (highStep - lowStep) div 32767 + 1 so that a page never spans more than the bar can count.
std::int32_t ComputePageStep(std::int32_t highStep, std::int32_t lowStep = 0);

// Sets the range to 0 ... highStep, the current step to 0, and the page.
TimeNavigation SetUpTimeBar(std::int32_t highStep);

// The step a clock at time t shows: the last step whose time is at most t, the first step when t
// comes before it (or is not a number), the last after the run ends; 0 when there are no steps.
// `stepTimes` must not decrease (as a history's do); O(log n).
std::int32_t StepAtOrBefore(std::span<const double> stepTimes, double t);

// A time as the readouts show it: fixed point with 6 decimals right-aligned in 12 characters,
// a longer number cut to 15.
std::string FormatStepTime(double t);

// The range readouts: "Low _T =" time of LowStep (at most 23 characters), "at _JT=" LowStep,
// "Hi _T =" time of HighStep (at most 22), "at _JT=" HighStep.
struct RangeLabels {
  std::string TLowLbl, AtLO, THiLbl, AtHI;
};
RangeLabels MakeRangeLabels(const TimeNavigation& nav, const std::vector<double>& stepTimes);

// The current-step readouts: "_T =" time (at most 19 characters) and "at _JT=" step.
struct CurrentTimeLabels {
  std::string TimeLbl, At_T;
};
CurrentTimeLabels MakeCurrentTimeLabels(std::int32_t step, const std::vector<double>& stepTimes);

}  // namespace hulvex
