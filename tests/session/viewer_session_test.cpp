#include "session/viewer_session.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "run/channel_series.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {

// A video engine that only records what the session asks of it.
struct FakeEngine : VideoEngine {
  void PrepareVideo(const LoadedRun&) override { open = true; }
  void CloseVideo() override { open = playing = false; }
  bool VideoOpen() const override { return open; }
  bool Playing() const override { return playing; }
  std::int32_t VideoPos() const override { return pos; }
  void ShowStep(std::int32_t s, Diagnostics&) override {
    if (s == unreadable) throw Error("Read beyond end of file: RUN.TTS");
    shown.push_back(s);
    pos = s;
  }
  void ShowSelectedStep(std::int32_t s, Diagnostics&) override { selected.push_back(s); }
  void StartPlayback(std::int32_t s, Diagnostics&) override { playing = !playing && s < 99; }
  void StopPlayback() override { playing = false; }
  bool open = false, playing = false;
  std::int32_t pos = 0, unreadable = -1;
  std::vector<std::int32_t> shown, selected;
};

class SessionTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto run = test_support::RunBuilder::Named("RUN", "Case\r\n");
    run.SampleBoat(4, "B4.BOT").Steps(100, 0.01).History.values = [](std::int32_t s, std::span<float> ch) {
      const double t = s * 0.01;
      ch[kChHeight] = static_cast<float>(0.4 + 0.1 * std::sin(7 * t));
      ch[kChAcceleration] = static_cast<float>(10 * std::sin(31 * t));
      ch[kChDistance] = static_cast<float>(50 * t);
      ch[kChSpeed] = 50.0f;
      return t;
    };
    session.SetVideoEngine(&engine);
    ASSERT_EQ(session.Open(run.Write(dir), diag), RunOpenResult::Loaded);
    ASSERT_TRUE(session.VideoReady());
  }
  test_support::TempDir dir;
  CollectingDiagnostics diag;
  FakeEngine engine;
  ViewerSession session{dir.path()};
};

TEST_F(SessionTest, MovesAreKeptInTheRunAndShownWithTheirOrigin) {
  QSignalSpy steps(&session, &ViewerSession::StepChanged);
  struct Move {
    std::function<void()> act;
    std::int32_t step;
  };
  // 99 steps: the bar's page is 20 steps.
  const std::vector<Move> moves{
      {[&] { session.SetStep(250); }, 99},           {[&] { session.Step(StepAction::PagePrevious); }, 79},
      {[&] { session.Step(StepAction::Previous); }, 78}, {[&] { session.SetTime(0.123); }, 12},
      {[&] { session.Step(StepAction::First); }, 0},  {[&] { session.Step(StepAction::Previous); }, 0},
  };
  for (const Move& m : moves) {
    m.act();
    EXPECT_EQ(session.CurrentStep(), m.step);
    EXPECT_EQ(engine.shown.back(), m.step);
    ASSERT_FALSE(steps.isEmpty());
    EXPECT_EQ(steps.takeLast().at(1).value<StepOrigin>(), StepOrigin::Moved);
  }
  // A step the video cannot read: the message goes to the status line, the step is current.
  QSignalSpy messages(&session, &ViewerSession::MoveMessage);
  engine.unreadable = 40;
  session.SetStep(40);
  EXPECT_EQ(session.CurrentStep(), 40);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages.front().at(1).toString(), "Read beyond end of file: RUN.TTS");
}

TEST_F(SessionTest, StopAndTheEndOfThePlaybackMakeTheVideosStepCurrent) {
  QSignalSpy steps(&session, &ViewerSession::StepChanged);
  QSignalSpy playing(&session, &ViewerSession::PlayingChanged);
  session.SetStep(10);
  session.Play(diag);
  EXPECT_TRUE(session.Playing());
  engine.pos = 37;  // the playback went on
  session.Stop(diag);
  EXPECT_FALSE(session.Playing());
  EXPECT_EQ(session.CurrentStep(), 37);
  EXPECT_EQ(steps.takeLast().at(1).value<StepOrigin>(), StepOrigin::Stopped);
  EXPECT_EQ(engine.selected, std::vector<std::int32_t>{37});

  session.Play(diag);
  session.PlaybackEnded(99);
  EXPECT_EQ(session.CurrentStep(), 99);
  EXPECT_EQ(steps.takeLast().at(1).value<StepOrigin>(), StepOrigin::Ended);
  EXPECT_EQ(playing.size(), 4);  // on, off, on, off
  // Space on the last step plays from the first again.
  engine.playing = false;
  session.PlayOrStop(diag);
  EXPECT_EQ(session.CurrentStep(), 0);
  EXPECT_TRUE(session.Playing());
  EXPECT_TRUE(diag.messages.empty());
}

TEST_F(SessionTest, OnlyTheLatestRangesStatisticsArePublished) {
  QSignalSpy ready(&session, &ViewerSession::StatisticsReady);
  // A drag: many ranges in a row while the first is computed; the ones in between are dropped.
  for (int k = 0; k < 20; ++k) session.SetVisibleRange(0.01 * k, 0.5 + 0.01 * k);
  EXPECT_EQ(session.Statistics(), nullptr);  // nothing waited for
  for (int i = 0; i < 1000 && session.StatisticsPending(); ++i) QTest::qWait(5);
  ASSERT_FALSE(session.StatisticsPending());
  ASSERT_NE(session.Statistics(), nullptr);
  EXPECT_LE(ready.size(), 2);
  const WindowStatistics& got = *session.Statistics();
  EXPECT_DOUBLE_EQ(got.From, 0.19);
  EXPECT_DOUBLE_EQ(got.To, 0.69);
  // The same figures as over the whole run's arrays, with the run's step numbers.
  const LoadedRun& run = session.Reference();
  const StatisticsInput whole = HeldSteps(run);
  StatisticsRequest request;
  request.From = 0.19;
  request.To = 0.69;
  for (const ChannelSeries& s : run.Series) request.Channels.push_back(s.Channel);
  const WindowStatistics expected = ComputeWindowStatistics(whole, request);
  EXPECT_EQ(got.Window.Begin, expected.Window.Begin);
  EXPECT_EQ(got.Window.End, expected.Window.End);
  ASSERT_EQ(got.Channels.size(), expected.Channels.size());
  for (std::size_t k = 0; k < got.Channels.size(); ++k) {
    ASSERT_TRUE(got.Channels[k].second.has_value());
    EXPECT_EQ(got.Channels[k].second->Mean, expected.Channels[k].second->Mean);
    EXPECT_EQ(got.Channels[k].second->MaxTime, expected.Channels[k].second->MaxTime);
  }
  ASSERT_TRUE(got.Impacts.has_value());
  ASSERT_EQ(got.Impacts->Peaks.size(), expected.Impacts->Peaks.size());
  for (std::size_t k = 0; k < got.Impacts->Peaks.size(); ++k)
    EXPECT_EQ(got.Impacts->Peaks[k].Step, expected.Impacts->Peaks[k].Step);

  // Closing the run forgets them; a result still being computed then is dropped.
  session.SetVisibleRange(0.0, 0.9);
  session.CloseRuns();
  EXPECT_EQ(session.Statistics(), nullptr);
  for (int i = 0; i < 1000 && session.StatisticsPending(); ++i) QTest::qWait(5);
  EXPECT_EQ(session.Statistics(), nullptr);
  EXPECT_FALSE(engine.open);
}

TEST_F(SessionTest, ComparedRunsOpenTogetherAndFollowTheReferencesClock) {
  // Runs of other time steps and spans: B every 0.03 s from 0.2 s to 1.37 s, C every 0.005 s to 0.3 s.
  const auto write = [&](const char* name, double t0, double dt, std::int32_t steps) {
    auto run = test_support::RunBuilder::Named(name, "Case\r\n");
    run.SampleBoat(4, "B4.BOT").Steps(steps, dt).History.values = [t0, dt](std::int32_t s, std::span<float> ch) {
      const double t = t0 + s * dt;
      ch[kChHeight] = static_cast<float>(0.3 + 0.1 * std::cos(5 * t));
      ch[kChAcceleration] = static_cast<float>(8 * std::sin(23 * t));
      ch[kChDistance] = static_cast<float>(40 * t);
      ch[kChSpeed] = 40.0f;
      return t;
    };
    return run.Write(dir);
  };
  const std::string b = write("B", 0.2, 0.03, 40), c = write("C", 0.0, 0.005, 61);
  QSignalSpy changed(&session, &ViewerSession::ComparedRunsChanged);
  QSignalSpy failed(&session, &ViewerSession::ComparedRunFailed);
  session.AddComparedRuns({b, dir.path() + "/MISSING", c});
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.ComparedRunsPending(); }, 30000));
  // The two that open join in the order given; the one that fails is told, the others stay.
  ASSERT_EQ(changed.count(), 1);
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed[0][0].toString().toStdString(), dir.path() + "/MISSING");
  ASSERT_EQ(session.RunCount(), 3u);
  EXPECT_EQ(session.Run(1).RunPath, b);
  EXPECT_EQ(session.Run(2).RunPath, c);

  // The clock: each run shows its last step at or before t, its first before it starts.
  for (double t : {-1.0, 0.0, 0.1, 0.2, 0.229, 0.23, 0.5, 0.99, 1.5, 5.0}) {
    for (std::size_t k = 0; k < 3; ++k) {
      const std::vector<double>& times = session.Run(k).History.StepTimes;
      std::int32_t expected = 0;
      for (std::size_t i = 0; i < times.size(); ++i)
        if (times[i] <= t) expected = static_cast<std::int32_t>(i);
      EXPECT_EQ(session.StepOfRunAt(k, t), expected) << "run " << k << " at " << t;
    }
  }

  // Channels are held and freed in every run together.
  session.HoldChannel(kChSurfaceGain, diag);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NE(FindSeries(session.Run(k), kChSurfaceGain), nullptr) << k;
  session.ReleaseChannel(kChSurfaceGain);
  for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(FindSeries(session.Run(k), kChSurfaceGain), nullptr) << k;

  // The statistics of one range for every run, each over its own steps in the range.
  session.SetVisibleRange(0.25, 0.3);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.StatisticsPending() && session.Statistics(2); }, 30000));
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<double>& times = session.Run(k).History.StepTimes;
    const auto inRange = std::count_if(times.begin(), times.end(), [](double t) { return t >= 0.25 && t <= 0.3; });
    ASSERT_NE(session.Statistics(k), nullptr) << k;
    EXPECT_EQ(session.Statistics(k)->Window.Count(), static_cast<std::size_t>(inRange)) << k;
  }

  // Removing them leaves the reference; its statistics follow alone.
  QSignalSpy closing(&session, &ViewerSession::ComparedRunsClosing);
  session.RemoveComparedRuns();
  EXPECT_EQ(closing.count(), 1);
  EXPECT_EQ(session.RunCount(), 1u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.StatisticsPending(); }, 30000));
  EXPECT_EQ(session.Statistics(1), nullptr);
}

}  // namespace
}  // namespace hulvex
