// Following a run while it is written: the viewer (offscreen) with a writer appending steps.
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/viewer_fixture.h"
#include "common/file_reading.h"
#include "plots/channel_plot.h"
#include "run/channel_series.h"

namespace hulvex {
namespace {
namespace HL = time_history_layout;

constexpr std::int32_t kSteps = 600;  // 6 s at 0.01 s

template <typename T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

class FollowTest : public ViewerTest {
protected:
  void SetUp() override {
    ViewerTest::SetUp();
    run = WritePlaningRun(dir.path(), "LIVE", kSteps);
    tts = run + ".TTS";
    const auto whole = ReadWholeFile(tts);
    bytes.assign(whole->begin(), whole->end());
    GrowTo(100);
  }
  // The file holds the first `steps` steps of the whole run (appended to, or cut, in place).
  void GrowTo(std::int32_t steps) {
    test_support::GrowFileTo(tts, bytes, HL::kRecordSize * static_cast<std::size_t>(1 + steps));
  }
  const LoadedRun& Shown() const { return form->Session().Reference(); }
  // The run the viewer holds equals a fresh open of the file as it is.
  void ExpectAsFreshOpen() const {
    LoadedRun fresh;
    fresh.Follow = true;
    fresh.HeldChannels = Shown().HeldChannels;
    CollectingDiagnostics diag;
    ASSERT_EQ(OpenRun(fresh, run, diag), RunOpenResult::Loaded);
    EXPECT_EQ(Shown().History.StepTimes, fresh.History.StepTimes);
    EXPECT_TRUE(SameBits(Shown().SmoothTrack, fresh.SmoothTrack));
    ASSERT_EQ(Shown().Series.size(), fresh.Series.size());
    for (std::size_t k = 0; k < fresh.Series.size(); ++k) EXPECT_TRUE(SameBits(Shown().Series[k].Values, fresh.Series[k].Values));
  }

  std::string run, tts;
  std::vector<std::uint8_t> bytes;
};

TEST_F(FollowTest, TheViewerFollowsAWriterToTheLastStep) {
  form->Follow1->setChecked(true);
  Open(run);
  ASSERT_TRUE(form->Session().Following());
  ASSERT_EQ(Shown().History.StepCount(), 100);
  EXPECT_EQ(form->Follower->PollInterval(), 1000);
  form->Session().SetStep(99);  // at the end: the view goes with the new steps
  QSignalSpy grew(&form->Session(), &ViewerSession::RunGrew);
  std::jthread writer([this] {
    for (std::int32_t steps = 150; steps <= kSteps; steps += 50) {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      GrowTo(steps);
    }
  });
  // The watcher or the poll notices each growth within a second.
  for (int waited = 0; Shown().History.StepCount() < kSteps && waited < 8000; waited += 20) QTest::qWait(20);
  writer.join();
  ASSERT_EQ(Shown().History.StepCount(), kSteps);
  EXPECT_GE(grew.count(), 1);
  ExpectAsFreshOpen();
  EXPECT_EQ(form->Session().CurrentStep(), kSteps - 1);
  EXPECT_EQ(form->TimeBar->maximum(), kSteps - 1);
  EXPECT_EQ(form->TimeBar->value(), kSteps - 1);
  EXPECT_EQ(form->AtHI->text(), "at _JT=599");
  EXPECT_TRUE(form->StatusLine->text().startsWith("Following: 600 steps, last at 5.99 s (updated "))
      << form->StatusLine->text().toStdString();
  EXPECT_EQ(form->Follower->StatusText(), form->StatusLine->text());
  // The plots show the whole run, as before the growth, and their series are the grown ones.
  ASSERT_FALSE(form->ChannelsFrm->Plots().empty());
  EXPECT_DOUBLE_EQ(form->ChannelsFrm->Plots().front()->TimeRange().upper, 5.99);
  form->Session().SetStep(kSteps - 1);
  EXPECT_FALSE(form->ChannelsFrm->Plots().front()->CursorText().isEmpty());
}

TEST_F(FollowTest, AStepAwayFromTheEndStaysAndPlaybackWaitsForMore) {
  form->Follow1->setChecked(true);
  Open(run);
  form->Session().SetStep(40);
  GrowTo(200);
  form->Follower->Look();
  EXPECT_EQ(Shown().History.StepCount(), 200);
  EXPECT_EQ(form->Session().CurrentStep(), 40);
  // Playback from step 190 reaches step 199 and waits there, playing.
  form->Session().SetStep(190);
  form->GoClick();
  ASSERT_TRUE(form->VidFrm->Player().Playing());
  for (int k = 0; k < 10; ++k) {
    clock += 40;
    form->VidFrm->Timer1Timer();
  }
  EXPECT_TRUE(form->VidFrm->Player().Playing());
  const std::int32_t waiting = form->VidFrm->Player().VideoPos();
  EXPECT_GE(waiting, 196);
  // New steps: the playback goes on into them.
  GrowTo(300);
  form->Follower->Look();
  for (int k = 0; k < 5; ++k) {
    clock += 40;
    form->VidFrm->Timer1Timer();
  }
  EXPECT_GT(form->VidFrm->Player().VideoPos(), 200);
  form->Stop1Click();
}

TEST_F(FollowTest, ChangesThatAreNotGrowthReopenAtTheCurrentTime) {
  form->Follow1->setChecked(true);
  Open(run);
  form->Session().SetStep(50);
  GrowTo(80);  // shrinks
  form->Follower->Look();
  EXPECT_EQ(Shown().History.StepCount(), 80);
  EXPECT_EQ(form->Session().CurrentStep(), 50);
  EXPECT_TRUE(form->StatusLine->text().contains("LIVE.TTS changed (the file became shorter): read anew"))
      << form->StatusLine->text().toStdString();
  ExpectAsFreshOpen();
  // A time that no longer exists: the last step.
  form->Session().SetStep(79);
  GrowTo(30);
  form->Follower->Look();
  EXPECT_EQ(form->Session().CurrentStep(), 29);
  // Switching follow mode off leaves the run as it is; on again it is read anew.
  form->Follow1->setChecked(false);
  EXPECT_FALSE(form->Session().Following());
  GrowTo(90);
  form->Follower->Look();
  EXPECT_EQ(Shown().History.StepCount(), 30);
  EXPECT_TRUE(shown.empty()) << shown.front();
}

TEST_F(FollowTest, OutsideFollowModeARunBeingWrittenIsTruncated) {
  Open(run);
  EXPECT_FALSE(form->Follow1->isChecked());
  EXPECT_EQ(Shown().History.StepCount(), 100);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("is truncated"), std::string::npos);
  // Switched on, the open run is read anew in follow mode at the current step.
  form->Session().SetStep(70);
  form->Follow1->setChecked(true);
  EXPECT_TRUE(Shown().History.Following);
  EXPECT_EQ(form->Session().CurrentStep(), 70);
  GrowTo(150);
  form->Follower->Look();
  EXPECT_EQ(Shown().History.StepCount(), 150);
}

}  // namespace
}  // namespace hulvex
