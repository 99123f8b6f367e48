#include "run/time_navigation.h"

#include <gtest/gtest.h>

#include <limits>

namespace hulvex {
namespace {

struct PageCase {
  std::int32_t high;
  std::int32_t page;      // PageStep
  std::int32_t largeChange;
};

TEST(TimeNavigation, PageStepByRunLength) {
  const PageCase cases[] = {
      {0, 1, 20},        {3999, 1, 20},     {4000, 2, 40},       {9999, 2, 40},      {10000, 3, 60},
      {14999, 3, 60},    {15000, 4, 80},    {19999, 4, 80},      {20000, 5, 100},    {29999, 5, 100},
      {30000, 8, 160},   {49999, 8, 160},   {50000, 10, 200},    {319999, 10, 200},  {320000, 10, 200},
      {1000000, 31, 620}, {2147483647, 67108, 1342160},
  };
  for (const auto& c : cases) {
    const TimeNavigation nav = SetUpTimeBar(c.high);
    EXPECT_EQ(nav.PageStep, c.page) << c.high;
    EXPECT_EQ(nav.LargeChange(), c.largeChange) << c.high;
    EXPECT_EQ(nav.LowStep, 0);
    EXPECT_EQ(nav.HighStep, c.high);
    EXPECT_EQ(nav.CurrentStep, 0);
  }
  // The floor: a page never spans more than 32767 bar units.
  EXPECT_EQ(ComputePageStep(100000, 0), 10);
  EXPECT_EQ(ComputePageStep(40000, -400000), 14);
}

TEST(TimeNavigation, ReadoutTexts) {
  const std::vector<double> times = {0.0, 1.5, 12345678.25};
  const CurrentTimeLabels cur = MakeCurrentTimeLabels(1, times);
  EXPECT_EQ(cur.TimeLbl, "_T =    1.500000");
  EXPECT_EQ(cur.At_T, "at _JT=1");
  // A long time is cut to 15 characters, the label to 19.
  EXPECT_EQ(MakeCurrentTimeLabels(2, times).TimeLbl, "_T =12345678.250000");
  TimeNavigation nav = SetUpTimeBar(2);
  const RangeLabels range = MakeRangeLabels(nav, times);
  EXPECT_EQ(range.TLowLbl, "Low _T =    0.000000");
  EXPECT_EQ(range.AtLO, "at _JT=0");
  EXPECT_EQ(range.THiLbl, "Hi _T =12345678.250000");
  EXPECT_EQ(range.AtHI, "at _JT=2");
}

TEST(TimeNavigation, StepsWithoutATimeReadZero) {
  const std::vector<double> times = {5.0};
  EXPECT_EQ(MakeCurrentTimeLabels(7, times).TimeLbl, "_T =    0.000000");
  EXPECT_EQ(MakeCurrentTimeLabels(-1, times).TimeLbl, "_T =    0.000000");
}

// The clock's step: the last at or before t; the first before the run, the last after it; equal
// times give the last of them.
TEST(TimeNavigation, StepAtOrBefore) {
  const std::vector<double> times = {0.5, 1.0, 1.5, 1.5, 2.0};
  const struct {
    double t;
    std::int32_t step;
  } cases[] = {{-1e300, 0}, {0.0, 0},    {0.5, 0},     {0.999, 0}, {1.0, 1},  {1.25, 1}, {1.5, 3},
               {1.999, 3},  {2.0, 4},    {1e300, 4},   {std::numeric_limits<double>::quiet_NaN(), 0},
               {std::numeric_limits<double>::infinity(), 4}};
  for (const auto& c : cases) EXPECT_EQ(StepAtOrBefore(times, c.t), c.step) << c.t;
  EXPECT_EQ(StepAtOrBefore({}, 1.0), 0);
  EXPECT_EQ(StepAtOrBefore(std::vector<double>{3.0}, 1.0), 0);
}

}  // namespace
}  // namespace hulvex
