#include "run/window_statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>

#include "common/constants.h"
#include "runfiles/time_history.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {
namespace an = analysis;
using test_support::RunBuilder;
using test_support::TempDir;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTwoPi = 2 * 3.141592653589793;
constexpr std::int32_t kSteps = 2000;  // 20 s, 0.01 s apart
constexpr double kHeave = 1.5;         // ft, at 0.5 Hz: whole periods in the run
constexpr double kPitch = 0.05;        // rad, at 0.25 Hz
constexpr float kSpeed = 45.0f;        // ft/s

// A one-step acceleration pulse every second (steps 50, 150, ...), 1 to 4 g in turn, else 0. The
// baseline lies inside any dead band about the mean, so the peaks are taken about the mean itself
// (Hysteresis 0).
float Pulse(std::int32_t s) { return s % 100 == 50 ? static_cast<float>(32.174 * (1 + (s / 100) % 4)) : 0.0f; }

// A run with a sine heave and pitch, the pulse train and a steady speed, opened with channels 0,
// 2, 3 and 7 collected; `input` views them.
struct PulseRun {
  TempDir dir;
  TimeHistory history;
  std::vector<ChannelSeries> series{{kChHeight, {}}, {kChAcceleration, {}}, {kChPitch, {}}, {kChSpeed, {}}};
  StatisticsInput input;

  PulseRun() {
    RunBuilder run;
    run.Steps(kSteps, 0.01).History.values = [](std::int32_t s, std::span<float> ch) {
      const double t = s * 0.01;
      ch[kChHeight] = static_cast<float>(kHeave * std::sin(kTwoPi * 0.5 * t));
      ch[kChAcceleration] = Pulse(s);
      ch[kChPitch] = static_cast<float>(kPitch * std::sin(kTwoPi * 0.25 * t));
      ch[kChSpeed] = kSpeed;
      return t;
    };
    CollectingDiagnostics diag;
    EXPECT_EQ(OpenTimeHistory(history, run.Write(dir), true, diag, series), HistoryOpenResult::Opened);
    input = {history.StepTimes, 0, history.Header.LastChannel, {}};
    for (const ChannelSeries& s : series) input.Series.emplace_back(s.Channel, s.Values);
  }
};
const PulseRun& Pulses() {
  static const PulseRun run;
  return run;
}

const an::ChannelStatistics& StatsOf(const WindowStatistics& w, int channel) {
  const auto it = std::find_if(w.Channels.begin(), w.Channels.end(), [&](const auto& c) { return c.first == channel; });
  EXPECT_TRUE(it != w.Channels.end() && it->second.has_value()) << channel;
  return *it->second;
}

TEST(WindowStatistics, TheWholeRunGivesTheClosedForms) {
  const WindowStatistics w = ComputeWindowStatistics(Pulses().input, {-kInf, kInf, {kChSpeed, kChHeight, kChAcceleration}, 0, 0});
  EXPECT_EQ(w.From, 0.0);
  EXPECT_DOUBLE_EQ(w.To, 19.99);
  EXPECT_EQ(w.Window.Begin, 0u);
  EXPECT_EQ(w.Window.End, std::size_t{kSteps});
  ASSERT_EQ(w.Channels.size(), 3u);
  EXPECT_EQ(w.Channels[0].first, kChSpeed);  // the request's order

  // Sampled over whole periods, a sine's mean is 0 and its r.m.s. its amplitude over root 2.
  const an::ChannelStatistics& heave = StatsOf(w, kChHeight);
  EXPECT_EQ(heave.Count, std::size_t{kSteps});
  EXPECT_NEAR(heave.Mean, 0.0, 1e-7);
  EXPECT_NEAR(heave.Rms, kHeave / std::sqrt(2.0), 1e-7);
  EXPECT_NEAR(heave.StdDev, kHeave / std::sqrt(2.0), 1e-7);
  EXPECT_NEAR(heave.Max, kHeave, 1e-6);
  EXPECT_NEAR(heave.MaxTime, 0.5, 1e-12);
  EXPECT_NEAR(heave.Min, -kHeave, 1e-6);
  EXPECT_NEAR(heave.MinTime, 1.5, 1e-12);
  const an::ChannelStatistics& speed = StatsOf(w, kChSpeed);
  EXPECT_NEAR(speed.Mean, kSpeed * kFtPerSToKnots, 1e-12);
  EXPECT_NEAR(speed.StdDev, 0.0, 1e-12);

  // The pulses in g: 20 peaks; heights above the window's mean; A1/3 the mean of the 6 highest.
  std::vector<double> pulses;
  double sum = 0;
  for (std::int32_t s = 0; s < kSteps; ++s) {
    const double g = static_cast<double>(Pulse(s)) * kFtPerS2ToG;
    sum += g;
    if (s % 100 == 50) pulses.push_back(g);
  }
  const double mean = sum / kSteps;
  std::ranges::sort(pulses, std::greater<>());
  ASSERT_TRUE(w.Impacts.has_value()) << w.Impacts.Reason;
  EXPECT_NEAR(StatsOf(w, kChAcceleration).Max, pulses.front(), 1e-12);
  EXPECT_NEAR(w.Impacts->Mean, mean, 1e-12);
  EXPECT_EQ(w.Impacts->PeakCount, 20u);
  EXPECT_NEAR(*w.Impacts->A1_3, std::accumulate(pulses.begin(), pulses.begin() + 6, 0.0) / 6 - mean, 1e-12);
  EXPECT_NEAR(w.Impacts->Largest->Height, pulses.front() - mean, 1e-12);
  EXPECT_NEAR(w.Impacts->Largest->Time, 3.5, 1e-12);  // the first 4 g pulse

  // Motions in display units: the pitch's double amplitude in degrees.
  ASSERT_EQ(w.Motions.size(), 2u);
  EXPECT_EQ(w.Motions[1].first, kChPitch);
  ASSERT_TRUE(w.Motions[1].second.has_value());
  EXPECT_NEAR(*w.Motions[1].second->SignificantDoubleAmplitude, 2 * kPitch * kRadToDeg, 1e-5);
  ASSERT_TRUE(w.Iso.has_value()) << w.Iso.Reason;
  EXPECT_EQ(w.Iso->Samples, std::size_t{kSteps});
}

TEST(WindowStatistics, WindowsAreNumberedWithTheRunsSteps) {
  const WindowStatistics w = ComputeWindowStatistics(Pulses().input, {5.0, 10.0, {kChHeight}, 0, 0});
  EXPECT_EQ(w.Window.Begin, 500u);
  EXPECT_EQ(w.Window.End, 1001u);
  EXPECT_EQ(StatsOf(w, kChHeight).Count, 501u);
  ASSERT_TRUE(w.Impacts.has_value());
  ASSERT_EQ(w.Impacts->Peaks.size(), 5u);
  EXPECT_EQ(w.Impacts->Peaks.front().Step, 550u);
  EXPECT_EQ(w.Impacts->Peaks.back().Step, 950u);
}

TEST(WindowStatistics, TheDeadBandIsTheRequestsFractionOfEachChannelsRangeInDisplayUnits) {
  StatisticsRequest request{-kInf, kInf, {}, 0};
  EXPECT_EQ(request.Hysteresis, 0.02);
  request.Hysteresis = 0.1;
  const WindowStatistics w = ComputeWindowStatistics(Pulses().input, request);
  ASSERT_TRUE(w.Impacts.has_value());
  EXPECT_NEAR(w.Impacts->Hysteresis, 0.1 * static_cast<double>(Pulse(350)) * kFtPerS2ToG, 1e-12);  // 0 to 4 g
  const double heaveRange = 2 * kHeave, pitchRange = 2 * kPitch * kRadToDeg;
  ASSERT_TRUE(w.Motions[0].second.has_value() && w.Motions[1].second.has_value());
  EXPECT_NEAR(w.Motions[0].second->Hysteresis, 0.1 * heaveRange, 1e-5);
  EXPECT_NEAR(w.Motions[1].second->Hysteresis, 0.1 * pitchRange, 1e-5);
  // The sines start at 0, inside the band: their first rise is no up-crossing. 10 periods of
  // heave and 5 of pitch give 9 and 4 up-crossings, 8 and 3 full cycles.
  EXPECT_EQ(w.Motions[0].second->Cycles, 8u);
  EXPECT_EQ(w.Motions[1].second->Cycles, 3u);
}

TEST(WindowStatistics, MissingChannelsAndEmptyWindowsGiveReasons) {
  // The run stores channels 0 to 2 and holds channel 0 only.
  StatisticsInput input = Pulses().input;
  input.LastChannel = 2;
  input.Series.resize(1);
  const WindowStatistics w = ComputeWindowStatistics(input, {-kInf, kInf, {0, 1, 2, 3}, 0});
  const std::string notHeld2 = "channel 2 is not held", notStored3 = "channel 3 is not stored (the last channel is 2)";
  const std::pair<std::string, std::string> cases[] = {  // reason, expected ("" for figures)
      {w.Channels[0].second.Reason, ""},
      {w.Channels[1].second.Reason, "channel 1 is not held"},
      {w.Channels[2].second.Reason, notHeld2},
      {w.Channels[3].second.Reason, notStored3},
      {w.Impacts.Reason, notHeld2},
      {w.Iso.Reason, notHeld2},
      {w.Motions[0].second.Reason, ""},
      {w.Motions[1].second.Reason, notStored3},
  };
  for (const auto& [reason, expected] : cases) EXPECT_EQ(reason, expected);
  EXPECT_TRUE(w.Motions[0].second.has_value());
  EXPECT_FALSE(w.Channels[3].second.has_value());

  // A window beside the run: nothing, no exception, the bounds as asked.
  const WindowStatistics beside = ComputeWindowStatistics(Pulses().input, {100.0, 200.0, {0}, 0});
  EXPECT_EQ(beside.Window.Count(), 0u);
  EXPECT_EQ(beside.From, 100.0);
  EXPECT_FALSE(beside.Channels[0].second.has_value());
  EXPECT_FALSE(beside.Impacts.has_value());
  EXPECT_FALSE(beside.Motions[0].second.has_value());
  EXPECT_FALSE(beside.Iso.has_value());
}

TEST(WindowStatistics, ASnapshotGivesTheSameFiguresAfterTheArraysChange) {
  std::vector<double> times(Pulses().history.StepTimes);
  std::vector<std::vector<float>> values;
  for (const ChannelSeries& s : Pulses().series) values.push_back(s.Values);
  StatisticsInput input = Pulses().input;
  input.StepTimes = times;
  for (std::size_t k = 0; k < values.size(); ++k) input.Series[k].second = values[k];

  const StatisticsRequest request{4.0, 12.5, {0, 2, 3, 7}, 0.5, 0};
  const WindowStatistics whole = ComputeWindowStatistics(input, request);
  const StatisticsSnapshot snapshot(input, request.From, request.To);
  std::ranges::fill(times, std::numeric_limits<double>::quiet_NaN());
  for (auto& v : values) std::ranges::fill(v, 0.0f);
  const WindowStatistics copy = ComputeWindowStatistics(snapshot.View(), request);

  EXPECT_EQ(snapshot.View().StepTimes.size(), whole.Window.Count());
  EXPECT_EQ(copy.From, whole.From);
  EXPECT_EQ(copy.To, whole.To);
  EXPECT_EQ(copy.Window.Begin, whole.Window.Begin);
  EXPECT_EQ(copy.Window.End, whole.Window.End);
  for (std::size_t k = 0; k < whole.Channels.size(); ++k) {
    EXPECT_EQ(copy.Channels[k].second->Mean, whole.Channels[k].second->Mean);
    EXPECT_EQ(copy.Channels[k].second->MaxTime, whole.Channels[k].second->MaxTime);
    EXPECT_EQ(copy.Channels[k].second->StdDev, whole.Channels[k].second->StdDev);
  }
  EXPECT_EQ(copy.Impacts->Peaks.front().Step, whole.Impacts->Peaks.front().Step);
  EXPECT_EQ(*copy.Impacts->A1_3, *whole.Impacts->A1_3);
  EXPECT_EQ(copy.Motions[0].second->Cycles, whole.Motions[0].second->Cycles);
  EXPECT_EQ(copy.Iso->Vdv, whole.Iso->Vdv);
}

}  // namespace
}  // namespace hulvex
