#include "run/channel_series.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "common/error.h"
#include "run/smooth_track.h"
#include "runfiles/channel_vocabulary.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {
using test_support::RunBuilder;
using test_support::TempDir;

// A run of `steps` steps with a surging boat, so the camera track is not the boat's own path.
std::string WriteRun(const TempDir& dir, std::int16_t lastChannel, std::int32_t steps = 3000) {
  RunBuilder run;
  run.Name = "CH" + std::to_string(lastChannel);
  run.SampleBoat(4).Steps(steps, 0.01).History.values = [planing = demo::SteadyPlaning(0.01, 45.0, 3.0)](
                                                               std::int32_t s, std::span<float> ch) {
    float all[12] = {};
    const double t = planing(s, all);
    std::copy_n(all, std::min<std::size_t>(ch.size(), 12), ch.begin());
    return t;
  };
  run.History.LastChannel = lastChannel;
  return run.Write(dir);
}

TEST(ChannelSeries, TheOpenReadsTheHistoryOnceAndHoldsWhatItStores) {
  struct Case {
    std::int16_t lastChannel;
    std::vector<int> held;
    std::vector<int> kept, missing;
  };
  const Case cases[] = {
      {11, {0, 3, 2, 7}, {0, 3, 2, 7}, {}},
      {40, {0, 3, 3, 12, 40, 41, -1}, {0, 3, 12, 40}, {41, -1}},
      {5, {0, 3, 2, 7}, {0, 3, 2}, {7}},  // no speed, no distance: the track is all zeros
  };
  for (const Case& c : cases) {
    TempDir dir;
    LoadedRun run;
    run.HeldChannels = c.held;
    CollectingDiagnostics diag;
    ASSERT_EQ(OpenRun(run, WriteRun(dir, c.lastChannel), diag), RunOpenResult::Loaded);
    const std::size_t R = static_cast<std::size_t>(run.History.RecordsPerStep);
    EXPECT_EQ(run.History.File.BytesRead(), run.History.File.size() + 64 * R) << "one pass, and step 0 again";
    std::vector<int> kept;
    for (const ChannelSeries& s : run.Series) kept.push_back(s.Channel);
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(MissingChannels(run), c.missing);
    EXPECT_EQ(HeldBytesPerStep(run), 12.0 + 4.0 * static_cast<double>(c.kept.size()));

    // Cross-check against the separate passes of the file reader.
    const auto separate = ReadChannelSeries(run.History, c.kept, diag);
    for (std::size_t k = 0; k < c.kept.size(); ++k) EXPECT_EQ(FindSeries(run, c.kept[k])->Values, separate[k]);
    const int trackChannels[] = {kChDistance, kChSpeed};
    const auto pv = ReadChannelSeries(run.History, trackChannels, diag);
    EXPECT_EQ(run.SmoothTrack, BuildCameraTrack(run.History, pv[0], pv[1]));
    EXPECT_TRUE(diag.messages.empty()) << diag.messages.front();
  }
}

TEST(ChannelSeries, ChannelsAreHeldAndReleasedAfterTheOpen) {
  TempDir dir;
  LoadedRun run;
  CollectingDiagnostics diag;
  EXPECT_THROW(HoldChannel(run, 0, diag), Error);
  ASSERT_EQ(OpenRun(run, WriteRun(dir, 40), diag), RunOpenResult::Loaded);
  const std::uint64_t afterOpen = run.History.File.BytesRead();
  const ChannelSeries& held = HoldChannel(run, 33, diag);
  EXPECT_EQ(held.Values[1234], ReadStep(run.History, 1234, false, diag).Channels[33]);
  EXPECT_EQ(run.HeldChannels, std::vector<int>{33});
  const std::uint64_t afterHold = run.History.File.BytesRead();
  EXPECT_GE(afterHold - afterOpen, run.History.File.size() - 64) << "one more pass";
  HoldChannel(run, 33, diag);
  EXPECT_EQ(run.History.File.BytesRead(), afterHold) << "held already: no read";

  for (int bad : {41, -1, 200}) {
    try {
      HoldChannel(run, bad, diag);
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Channel " + std::to_string(bad) + " is not in this run: it stores channels 0 to 40");
    }
  }
  EXPECT_EQ(run.HeldChannels, std::vector<int>{33});

  // Several at once: one pass for all those not held; a bad one anywhere holds nothing.
  const std::uint64_t beforeMany = run.History.File.BytesRead();
  EXPECT_THROW(HoldChannels(run, std::vector<int>{4, 5, 41}, diag), Error);
  EXPECT_EQ(run.History.File.BytesRead(), beforeMany);
  HoldChannels(run, std::vector<int>{4, 33, 5, 4}, diag);
  EXPECT_EQ(run.HeldChannels, (std::vector<int>{33, 4, 5}));
  const std::uint64_t passes = run.History.File.BytesRead() - beforeMany;
  EXPECT_GE(passes, run.History.File.size() - 64);
  EXPECT_LT(passes, 2 * (run.History.File.size() - 64)) << "one pass for both";
  EXPECT_EQ(FindSeries(run, 5)->Values[77], ReadStep(run.History, 77, false, diag).Channels[5]);
  ReleaseChannel(run, 4);
  ReleaseChannel(run, 5);
  ReleaseChannel(run, 33);
  ReleaseChannel(run, 5);
  EXPECT_TRUE(run.HeldChannels.empty());
  EXPECT_EQ(FindSeries(run, 33), nullptr);

  // What is held carries over to the next open; the values do not outlive their run.
  HoldChannel(run, 20, diag);
  CloseRun(run);
  EXPECT_TRUE(run.Series.empty());
  EXPECT_TRUE(run.SmoothTrack.empty());
  ASSERT_EQ(OpenRun(run, WriteRun(dir, 11), diag), RunOpenResult::Loaded);
  EXPECT_EQ(MissingChannels(run), std::vector<int>{20});
}

// The vocabulary's factors are ReadStep's conversion (channel 8 aside, whose conversion depends on
// the run), and its keys can name file columns: unique, without spaces.
TEST(ChannelSeries, TheVocabularyConvertsAsReadStepAndKeysAreUnique) {
  TempDir dir;
  LoadedRun run;
  run.HeldChannels = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11};
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, WriteRun(dir, 11), diag), RunOpenResult::Loaded);
  const StepValues converted = ReadStep(run.History, 777, true, diag);
  for (int c : run.HeldChannels) {
    EXPECT_EQ(DisplayValue(FindSeries(run, c)->Values[777], ChannelInfoOf(c).Factor), converted.Channels[c]) << c;
  }
  std::set<std::string> keys;
  for (int c = 0; c < time_history_layout::kMaxChannels; ++c) {
    const ChannelInfo info = ChannelInfoOf(c);
    EXPECT_EQ(info.Channel, c);
    EXPECT_GT(info.Factor, 0.0) << c;
    EXPECT_EQ(DisplayFactorOf(c), info.Factor) << c;
    EXPECT_EQ(info.Key.find(' '), std::string::npos) << info.Key;
    EXPECT_TRUE(keys.insert(info.Key).second) << info.Key;
  }
}

TEST(ChannelSeries, StepNearest) {
  const std::vector<double> t{0.0, 0.1, 0.2, 0.2, 0.5};
  const struct {
    double at;
    std::int32_t step;
  } cases[] = {{-1.0, 0}, {0.04, 0}, {0.05, 0}, {0.06, 1}, {0.2, 2}, {0.35, 3}, {0.36, 4}, {9.0, 4},
               {std::numeric_limits<double>::quiet_NaN(), 0}};
  for (const auto& c : cases) EXPECT_EQ(StepNearest(t, c.at), c.step) << c.at;
  EXPECT_EQ(StepNearest({}, 1.0), -1);
}

}  // namespace
}  // namespace hulvex
