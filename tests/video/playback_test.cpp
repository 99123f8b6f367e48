#include "video/playback.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <limits>
#include <vector>

namespace hulvex {
namespace {

std::vector<double> EvenTimes(int steps, double dt) {
  std::vector<double> t(static_cast<std::size_t>(steps));
  for (int i = 0; i < steps; ++i) t[static_cast<std::size_t>(i)] = i * dt;
  return t;
}

// Plays from `start` like the timer does and returns the steps composed with their intervals.
std::vector<NextFrame> Play(const std::vector<double>& t, std::int32_t start, float mult) {
  std::vector<NextFrame> frames;
  std::int32_t pos = start;
  double last = t[static_cast<std::size_t>(start)];
  const auto lastStep = static_cast<std::int32_t>(t.size()) - 1;
  for (;;) {
    const NextFrame f = ChooseNextFrame(t, lastStep, pos, last, mult);
    frames.push_back(f);
    if (f.ended) return frames;
    pos = f.step;
    last = t[static_cast<std::size_t>(pos)];
  }
}

struct PaceCase {
  const char* name;
  double dt;
  float mult;
  std::int32_t stride;
  std::int64_t interval;
};

TEST(Playback, StepsAreSkippedBelowFortyMilliseconds) {
  const PaceCase cases[] = {
      {"0.01 s at 1: every fourth step for 40 ms", 0.01, 1.0f, 4, 40},
      {"0.01 s at 0.5: every eighth", 0.01, 0.5f, 8, 40},
      {"0.1 s at 2: every step for 200 ms", 0.1, 2.0f, 1, 200},
      {"0.005 s at 10: every step for 50 ms", 0.005, 10.0f, 1, 50},
  };
  for (const auto& c : cases) {
    const auto t = EvenTimes(401, c.dt);
    const auto frames = Play(t, 0, c.mult);
    ASSERT_GE(frames.size(), 2u) << c.name;
    for (std::size_t k = 0; k + 1 < frames.size(); ++k) {
      EXPECT_EQ(frames[k].step, static_cast<std::int32_t>((k + 1) * c.stride)) << c.name;
      EXPECT_EQ(frames[k].intervalMs, c.interval) << c.name;
    }
    EXPECT_TRUE(frames.back().ended);
    EXPECT_EQ(frames.back().step, 400);
  }
}

TEST(Playback, GoOnTheStepBeforeTheLastEndsAtTheFirstTick) {
  const auto t = EvenTimes(10, 0.01);
  const NextFrame f = ChooseNextFrame(t, 9, 8, t[8], 1.0f);
  EXPECT_TRUE(f.ended);
  EXPECT_EQ(f.step, 9);
  // A position already past the end (the bar put the video on the last step) ends too.
  EXPECT_TRUE(ChooseNextFrame(t, 9, 9, t[9], 1.0f).ended);
}

TEST(Playback, IntervalsRoundHalfToEvenAndStayBounded) {
  EXPECT_EQ(FrameIntervalMs(0.0405, 0.0, 1.0f), 40);    // 40.5 -> 40
  EXPECT_EQ(FrameIntervalMs(0.0415, 0.0, 1.0f), 42);    // 41.5 -> 42
  EXPECT_EQ(FrameIntervalMs(std::numeric_limits<double>::quiet_NaN(), 0.0, 1.0f), 86'400'000);
  EXPECT_EQ(FrameIntervalMs(1e300, 0.0, 1e30f), 86'400'000);
  EXPECT_LT(FrameIntervalMs(-5.0, 0.0, 1.0f), 0);
}

TEST(Playback, TimesThatDoNotAdvanceRunToTheEnd) {
  const std::vector<double> t(1000, 3.0);
  const NextFrame f = ChooseNextFrame(t, 999, 0, 3.0, 1.0f);
  EXPECT_TRUE(f.ended);
}

TEST(Playback, PacerKeepsDeadlinesFromDrifting) {
  FramePacer pacer;
  pacer.Start(1000, 300);
  EXPECT_EQ(pacer.deadline(), 1300);
  // Each tick runs 3 ms late and takes 5 ms; the next timeout makes up for it.
  std::int64_t now = 1303;
  for (int k = 0; k < 100; ++k) {
    const std::int64_t timeout = pacer.Next(now + 5, 40);
    EXPECT_EQ(timeout, 40 - 8);
    now = pacer.deadline() + 3;
  }
  EXPECT_EQ(pacer.deadline(), 1300 + 100 * 40);
}

TEST(Playback, PacerRestartsAfterAStall) {
  FramePacer pacer;
  pacer.Start(0, 300);
  EXPECT_EQ(pacer.Next(5000, 40), 40);  // more than a second late: from now on
  EXPECT_EQ(pacer.deadline(), 5040);
  EXPECT_EQ(pacer.Next(5100, 40), 0);   // slightly late: no wait, deadline kept
  EXPECT_EQ(pacer.deadline(), 5080);
}

struct MultCase {
  const char* text;
  std::optional<float> value;
};

TEST(Playback, MultiplierTextIsANumberAboveZeroWithNothingAfterIt) {
  const MultCase cases[] = {
      {" 2.5", 2.5f},     {"      1.00", 1.0f}, {"3", 3.0f},        {"+0.5", 0.5f}, {"1e2", 100.0f},
      {"2.", 2.0f},       {".25", 0.25f},       {"0", std::nullopt}, {"-1", std::nullopt},
      {"2.5 ", std::nullopt}, {"abc", std::nullopt}, {"", std::nullopt}, {" ", std::nullopt},
      {"1e99", std::nullopt}, {"1e-99", std::nullopt}, {"0x10", std::nullopt}, {"1,5", std::nullopt},
      {"nan", std::nullopt}, {"inf", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseVideoMult(c.text), c.value) << '"' << c.text << '"';
}

TEST(Playback, TheDialogShowsTheMultiplierInItsShortestExactForm) {
  const std::pair<float, const char*> shown[] = {
      {1.0f, "         1"}, {0.125f, "     0.125"}, {0.004f, "     0.004"}, {2.5f, "       2.5"},
      {1e-05f, "     1e-05"}, {1.0f / 3.0f, "0.33333334"}, {3.4028235e38f, "3.4028235e+38"}};
  for (const auto& [value, text] : shown) EXPECT_EQ(FormatVideoMult(value), text);
  // Whatever the value, the text reads back as exactly that value.
  for (float v = 1e-30f; v < 1e30f; v *= 1.37f) EXPECT_EQ(ParseVideoMult(FormatVideoMult(v)), v) << v;
  for (float v : {0.1f, 0.7f, 1.1f, std::nextafter(1.0f, 2.0f), std::nextafter(0.004f, 0.0f)})
    EXPECT_EQ(ParseVideoMult(FormatVideoMult(v)), v) << v;
}

}  // namespace
}  // namespace hulvex
