#include "run/followed_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/file_reading.h"
#include "run/channel_series.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {
using test_support::TempDir;
namespace HL = time_history_layout;

constexpr double kDt = 0.01;
constexpr std::int32_t kSteps = 1400;  // 14 s: the camera track's middle part starts, runs and ends
constexpr std::size_t kStepBytes = HL::kRecordSize;  // LastChannel 11: one record a step

// A run of kSteps steps whose history file is then cut to the header alone; `Bytes` holds the
// whole file it is grown back to.
struct GrowingRun {
  TempDir dir;
  std::string path;
  std::string tts;
  std::vector<std::uint8_t> Bytes;

  explicit GrowingRun(std::optional<std::int32_t> lastStep = std::nullopt) {
    auto run = test_support::RunBuilder::Named("GROW");
    run.SampleBoat(1, "TEST.BOT").Steps(kSteps, kDt);
    run.History.values = demo::SteadyPlaning(kDt, 40.0, 6.0);
    run.History.LastStepInHeader = lastStep;
    path = run.Write(dir);
    tts = path + ".TTS";
    const auto whole = ReadWholeFile(tts);
    Bytes.assign(whole->begin(), whole->end());
    test_support::TruncateFile(tts, HL::kRecordSize);
  }
  // Grows (or cuts) the file to the first `size` bytes of the whole file, appending in place.
  void GrowTo(std::size_t size) { test_support::GrowFileTo(tts, Bytes, size); }
  std::size_t Header() const { return HL::kRecordSize; }
  std::size_t StepsEnd(std::size_t steps) const { return HL::kRecordSize + steps * kStepBytes; }
};

void OpenFollowed(LoadedRun& run, const std::string& path, Diagnostics& diag) {
  run.Follow = true;
  run.HeldChannels.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());
  ASSERT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// What a fresh open of the file as it is now holds, compared with the followed run.
void ExpectAsFreshOpen(const LoadedRun& followed, const std::string& path, const std::string& when) {
  LoadedRun fresh;
  CollectingDiagnostics diag;
  OpenFollowed(fresh, path, diag);
  EXPECT_EQ(followed.History.StepTimes, fresh.History.StepTimes) << when;
  EXPECT_EQ(followed.History.Header.LastStep, fresh.History.Header.LastStep) << when;
  ASSERT_EQ(followed.Series.size(), fresh.Series.size()) << when;
  for (std::size_t k = 0; k < fresh.Series.size(); ++k) {
    EXPECT_EQ(followed.Series[k].Channel, fresh.Series[k].Channel) << when;
    EXPECT_TRUE(SameBits(followed.Series[k].Values, fresh.Series[k].Values)) << when << ", channel " << fresh.Series[k].Channel;
  }
  EXPECT_TRUE(SameBits(followed.SmoothTrack, fresh.SmoothTrack)) << when << ": the camera track";
}

TEST(FollowedRun, AfterEveryGrowthTheRunHoldsWhatAFreshOpenHolds) {
  // Growth points in steps, some of them cutting a step in the middle (the partial step waits):
  // before the track's middle part starts (4 s), while it runs, across its end (10 s) and after.
  struct Case {
    double steps;
    std::int32_t expected;
  };
  const std::vector<Case> points{{1, 1},      {1.5, 1},   {2, 2},     {399, 399}, {400.25, 400}, {401, 401},
                                 {402, 402},  {650.5, 650}, {799, 799}, {1001, 1001}, {1002.75, 1002},
                                 {1100, 1100}, {1399.5, 1399}, {1400, 1400}};
  for (const std::optional<std::int32_t> lastStep : {std::optional<std::int32_t>{}, std::optional<std::int32_t>{-1}}) {
    GrowingRun file(lastStep);
    file.GrowTo(file.StepsEnd(1));
    LoadedRun run;
    CollectingDiagnostics diag;
    OpenFollowed(run, file.path, diag);
    for (const Case& c : points) {
      const std::string when = "at " + std::to_string(c.steps) + " steps, LastStep " + std::to_string(lastStep.value_or(kSteps - 1));
      file.GrowTo(file.Header() + static_cast<std::size_t>(c.steps * kStepBytes));
      const std::int32_t before = run.History.StepCount();
      const HistoryExtension grown = ExtendRun(run, diag);
      EXPECT_EQ(grown.Growth, c.expected > before ? HistoryGrowth::Grew : HistoryGrowth::Same) << when;
      EXPECT_EQ(run.History.StepCount(), c.expected) << when;
      ExpectAsFreshOpen(run, file.path, when);
    }
    EXPECT_TRUE(run.TrackFeed.Distance.empty()) << "a finished track keeps no positions";
    EXPECT_TRUE(diag.messages.empty()) << diag.messages.front();
  }
}

TEST(FollowedRun, LastStepBoundsTheStepsAndAReservedTailWaits) {
  GrowingRun file(9);  // the header announces 10 steps; the file will hold more
  file.GrowTo(file.StepsEnd(6));
  // A reserved region: three more steps' worth of zeros.
  test_support::PatchFile(file.tts, file.StepsEnd(6), std::vector<std::uint8_t>(3 * kStepBytes, 0));
  LoadedRun run;
  CollectingDiagnostics diag;
  OpenFollowed(run, file.path, diag);
  EXPECT_EQ(run.History.StepCount(), 6);
  // The writer fills one reserved step: it counts; the zeros after it still wait.
  test_support::PatchFile(file.tts, file.StepsEnd(6),
                          std::vector<std::uint8_t>(file.Bytes.begin() + static_cast<std::ptrdiff_t>(file.StepsEnd(6)),
                                                    file.Bytes.begin() + static_cast<std::ptrdiff_t>(file.StepsEnd(7))));
  EXPECT_EQ(ExtendRun(run, diag).Growth, HistoryGrowth::Grew);
  EXPECT_EQ(run.History.StepCount(), 7);
  ExpectAsFreshOpen(run, file.path, "one reserved step filled");
  // The writer fills the rest and goes on; beyond LastStep + 1 nothing counts.
  test_support::PatchFile(file.tts, file.StepsEnd(7),
                          std::vector<std::uint8_t>(file.Bytes.begin() + static_cast<std::ptrdiff_t>(file.StepsEnd(7)),
                                                    file.Bytes.begin() + static_cast<std::ptrdiff_t>(file.StepsEnd(14))));
  EXPECT_EQ(ExtendRun(run, diag).Growth, HistoryGrowth::Grew);
  EXPECT_EQ(run.History.StepCount(), 10);
  EXPECT_TRUE(diag.messages.empty());
}

TEST(FollowedRun, ChangesThatAreNotGrowthAskForAFreshOpen) {
  struct Case {
    const char* what;
    std::function<void(GrowingRun&)> change;
    const char* reason;
  };
  const std::vector<Case> cases{
      {"shrunk by a step", [](GrowingRun& f) { test_support::TruncateFile(f.tts, f.StepsEnd(19)); }, "shorter"},
      {"a partial step appended", [](GrowingRun& f) { f.GrowTo(f.StepsEnd(20) + 10); }, nullptr},
      {"StartTime", [](GrowingRun& f) { test_support::PatchFile(f.tts, HL::kStartTime, test_support::Real64Bytes(0.5)); }, "header"},
      {"LastChannel", [](GrowingRun& f) { test_support::PatchFile(f.tts, HL::kLastChannel, test_support::Int16Bytes(12)); }, "header"},
      {"LastStep below the steps read",
       [](GrowingRun& f) { test_support::PatchFile(f.tts, HL::kLastStep, test_support::Int32Bytes(10)); }, "LastStep"},
      {"the last step's time",
       [](GrowingRun& f) { test_support::PatchFile(f.tts, f.StepsEnd(19) + HL::kStepTime, test_support::Real64Bytes(99.0)); },
       "changed its time"},
  };
  for (const Case& c : cases) {
    GrowingRun file;
    file.GrowTo(file.StepsEnd(20));
    LoadedRun run;
    CollectingDiagnostics diag;
    OpenFollowed(run, file.path, diag);
    c.change(file);
    const HistoryExtension grown = ExtendRun(run, diag);
    if (!c.reason) {
      EXPECT_EQ(grown.Growth, HistoryGrowth::Same) << c.what;
      continue;
    }
    EXPECT_EQ(grown.Growth, HistoryGrowth::Changed) << c.what;
    EXPECT_NE(grown.Reason.find(c.reason), std::string::npos) << c.what << ": " << grown.Reason;
    EXPECT_EQ(run.History.StepCount(), 20) << c.what << ": nothing of the run changes";
    EXPECT_EQ(run.SmoothTrack.size(), 20u) << c.what;
  }
}

TEST(FollowedRun, OutsideFollowModeTheOpenIsUnchanged) {
  GrowingRun file;
  file.GrowTo(file.StepsEnd(20) + 7);
  LoadedRun run;
  CollectingDiagnostics diag;
  run.HeldChannels = {kChHeight};
  EXPECT_EQ(OpenRun(run, file.path, diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.History.StepCount(), 20);
  ASSERT_EQ(diag.messages.size(), 1u);
  EXPECT_NE(diag.messages[0].find("is truncated"), std::string::npos);
  EXPECT_THROW(ExtendRun(run, diag), Error);
  // A negative LastStep is refused outside follow mode, and waits for its first step in it.
  GrowingRun unknown(-1);
  EXPECT_EQ(OpenRun(run, unknown.path, diag), RunOpenResult::HistoryRefused);
  run.Follow = true;
  diag.messages.clear();
  EXPECT_EQ(OpenRun(run, unknown.path, diag), RunOpenResult::HistoryRefused);
  EXPECT_EQ(diag.messages, std::vector<std::string>{"Time history " + unknown.tts + " holds no time steps yet"});
}

}  // namespace
}  // namespace hulvex
