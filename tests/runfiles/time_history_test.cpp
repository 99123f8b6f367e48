#include "runfiles/time_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>

#include "common/error.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {
namespace HL = time_history_layout;
using test_support::TempDir;

struct Opened {
  TempDir dir;
  TimeHistory history;
  CollectingDiagnostics diag;
  HistoryOpenResult result{};
  std::string run() const { return dir / "RUN"; }
};

void Write(const Opened& o, const demo::HistorySpec& spec) { demo::WriteTimeHistoryFile(o.run() + ".TTS", spec); }

HistoryOpenResult Open(Opened& o, bool speedSpecified = false) {
  o.diag.messages.clear();
  o.result = OpenTimeHistory(o.history, o.run(), speedSpecified, o.diag);
  return o.result;
}

struct ChannelLayoutCase {
  std::int16_t lastChannel;
  int recordsPerStep;
};

TEST(TimeHistory, RecordsPerStepAndChannelPlacement) {
  for (const auto c : {ChannelLayoutCase{0, 1}, ChannelLayoutCase{11, 1}, ChannelLayoutCase{12, 2},
                       ChannelLayoutCase{27, 2}, ChannelLayoutCase{28, 3}, ChannelLayoutCase{109, 8}}) {
    Opened o;
    demo::HistorySpec spec;
    spec.LastChannel = c.lastChannel;
    spec.Steps = 5;
    Write(o, spec);
    ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
    EXPECT_EQ(o.history.RecordsPerStep, c.recordsPerStep) << c.lastChannel;
    EXPECT_EQ(HL::RecordsPerStepFor(c.lastChannel), c.recordsPerStep);
    // The file holds exactly the header and Steps * R records.
    for (std::int32_t s = 0; s < 5; ++s) {
      const StepValues v = ReadStep(o.history, s, false, o.diag);
      EXPECT_DOUBLE_EQ(v.StepTime, s * 0.01);
      for (int ch = 0; ch < HL::kMaxChannels; ++ch) {
        const float expected = ch <= c.lastChannel ? static_cast<float>(s + ch / 100.0) : 0.0f;
        ASSERT_EQ(v.Channels[ch], expected) << "LastChannel " << c.lastChannel << " step " << s << " ch " << ch;
      }
    }
    EXPECT_TRUE(o.diag.messages.empty());
  }
}

// The reader and the writers share ChannelOffset, so it is checked against the format itself:
// 12 values after the 12-byte step head, then 16 values to each further 64-byte record.
TEST(TimeHistory, ChannelOffsetsFollowTheRecordLayout) {
  const std::pair<int, std::size_t> cases[] = {{0, 12}, {11, 56}, {12, 64}, {27, 124}, {28, 128}, {109, 452}};
  for (const auto& [channel, offset] : cases) EXPECT_EQ(HL::ChannelOffset(channel), offset) << channel;
}

TEST(TimeHistory, Channel12ComesFromTheSecondRecordNotTheFirstRecordsTail) {
  Opened o;
  demo::HistorySpec spec;
  spec.LastChannel = 12;
  spec.Steps = 2;
  Write(o, spec);
  // Bytes 60 ... 63 of step 1's first record (record 3) are never used.
  test_support::PatchFile(o.run() + ".TTS", 3 * 64 + 60, test_support::Real32Bytes(999.0f));
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  const StepValues v = ReadStep(o.history, 1, false, o.diag);
  EXPECT_EQ(v.Channels[12], static_cast<float>(1 + 12 / 100.0));
  EXPECT_EQ(v.Channels[11], static_cast<float>(1 + 11 / 100.0));
}

TEST(TimeHistory, IndexHoldsEveryStepTime) {
  Opened o;
  demo::HistorySpec spec;
  spec.LastChannel = 40;
  spec.Steps = 300;
  spec.values = [](std::int32_t s, std::span<float>) { return 10.0 + s * s * 1e-3; };
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  ASSERT_EQ(o.history.StepCount(), 300);
  for (int s = 0; s < 300; ++s) EXPECT_EQ(o.history.StepTimes[s], 10.0 + s * s * 1e-3);
  EXPECT_EQ(o.history.HistoryPath, o.run());
  EXPECT_EQ(o.history.RunFileName, "RUN");
}

TEST(TimeHistory, ConversionsDependOnTheMode) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 1;
  spec.values = [](std::int32_t, std::span<float> ch) {
    for (float& v : ch) v = 2.0f;
    return 0.0;
  };
  Write(o, spec);
  for (bool speedSpecified : {false, true}) {
    ASSERT_EQ(Open(o, speedSpecified), HistoryOpenResult::Opened);
    const StepValues raw = ReadStep(o.history, 0, false, o.diag);
    const StepValues v = ReadStep(o.history, 0, true, o.diag);
    EXPECT_EQ(raw.Channels[2], 2.0f);
    EXPECT_EQ(v.Channels[0], 2.0f);
    EXPECT_EQ(v.Channels[2], static_cast<float>(2.0f / 32.18));
    EXPECT_EQ(v.Channels[3], static_cast<float>(2.0f * 180 / 3.14159265359));
    EXPECT_EQ(v.Channels[6], 2.0f);
    EXPECT_EQ(v.Channels[7], static_cast<float>(2.0f * 150 / 253));
    EXPECT_EQ(v.Channels[8], speedSpecified ? 2.0f : static_cast<float>(2.0f / 32.18));
    EXPECT_EQ(v.Channels[9], 2.0f);
  }
}

TEST(TimeHistory, ConvertedChannelsBeyondLastChannelStayZero) {
  Opened o;
  demo::HistorySpec spec;
  spec.LastChannel = 1;
  spec.Steps = 1;
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  const StepValues v = ReadStep(o.history, 0, true, o.diag);
  for (int c = 2; c < HL::kMaxChannels; ++c) EXPECT_EQ(v.Channels[c], 0.0f);
}

TEST(TimeHistory, StepNumberMismatchIsReportedOncePerRead) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 10;
  spec.StepIndexOverride = {{4, 44}, {0, -7}};
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  // Opening reads step 0 once.
  EXPECT_EQ(o.diag.messages, std::vector<std::string>{"KVR JT ERROR!-7 0"});
  o.diag.messages.clear();
  const StepValues v = ReadStep(o.history, 4, true, o.diag);
  ReadStep(o.history, 4, false, o.diag);
  ReadStep(o.history, 5, false, o.diag);
  EXPECT_EQ(o.diag.messages, (std::vector<std::string>{"KVR JT ERROR!44 4", "KVR JT ERROR!44 4"}));
  EXPECT_DOUBLE_EQ(v.StepTime, 0.04);  // the values are used all the same
}

TEST(TimeHistory, MissingFileReportsNoFile) {
  Opened o;
  EXPECT_EQ(Open(o), HistoryOpenResult::Missing);
  EXPECT_EQ(o.diag.messages, std::vector<std::string>{"No file\n" + o.run() + ".TTS"});  // the path looked for
  EXPECT_FALSE(o.history.IsOpen);
  EXPECT_TRUE(o.history.HistoryPath.empty());
}

TEST(TimeHistory, WrongMagicIsRefusedAndTheProgramGoesOn) {
  Opened o;
  demo::HistorySpec spec;
  spec.Magic = 31999;
  Write(o, spec);
  EXPECT_EQ(Open(o), HistoryOpenResult::Refused);
  EXPECT_EQ(o.diag.messages, std::vector<std::string>{"OLD KVR FILE FORMAT, MUST CONVERT"});
  EXPECT_FALSE(o.history.IsOpen);
  EXPECT_EQ(o.history.StepCount(), 0);
  EXPECT_THROW(ReadStep(o.history, 0, false, o.diag), Error);
}

TEST(TimeHistory, LastChannelOutsideTheBufferIsRefusedByValue) {
  for (std::int16_t last : {std::int16_t{-1}, std::int16_t{110}, std::int16_t{32767}, std::int16_t{-32768}}) {
    Opened o;
    demo::HistorySpec spec;
    spec.LastChannel = last;
    Write(o, spec);
    EXPECT_EQ(Open(o), HistoryOpenResult::Refused);
    ASSERT_EQ(o.diag.messages.size(), 1u);
    EXPECT_EQ(o.diag.messages[0], "Time history " + o.run() + ".TTS: LastChannel " + std::to_string(last) +
                                      " is outside 0 to 109; the file cannot be read");
    EXPECT_FALSE(o.history.IsOpen);
  }
}

TEST(TimeHistory, NegativeLastStepIsRefused) {
  Opened o;
  demo::HistorySpec spec;
  spec.LastStepInHeader = -1;
  Write(o, spec);
  EXPECT_EQ(Open(o), HistoryOpenResult::Refused);
  EXPECT_EQ(o.diag.messages, std::vector<std::string>{"Time history " + o.run() + ".TTS holds no time steps (LastStep -1)"});
}

TEST(TimeHistory, LastStepBeyondTheFileOpensTheCompleteSteps) {
  for (std::int32_t announced : {20, 2147483647}) {
    Opened o;
    demo::HistorySpec spec;
    spec.LastChannel = 28;  // three records a step
    spec.Steps = 10;
    spec.LastStepInHeader = announced;
    Write(o, spec);
    // Cut into the middle of step 7's second record.
    test_support::TruncateFile(o.run() + ".TTS", 64 * (1 + 7 * 3 + 1) + 10);
    ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
    EXPECT_EQ(o.history.StepCount(), 7);
    EXPECT_EQ(o.history.Header.LastStep, announced);
    EXPECT_EQ(o.diag.messages, std::vector<std::string>{"Time history " + o.run() + ".TTS is truncated: the header gives LastStep " +
                                                        std::to_string(announced) +
                                                        " but the file holds 7 complete time steps (0 to 6)"});
    EXPECT_NO_THROW(ReadStep(o.history, 6, true, o.diag));
    EXPECT_THROW(ReadStep(o.history, 7, true, o.diag), Error);
    EXPECT_THROW(ReadStep(o.history, -1, true, o.diag), Error);
  }
}

TEST(TimeHistory, FileWithoutACompleteStepIsRefused) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 3;
  Write(o, spec);
  test_support::TruncateFile(o.run() + ".TTS", 64 + 63);
  EXPECT_EQ(Open(o), HistoryOpenResult::Refused);
  EXPECT_FALSE(o.history.IsOpen);
}

TEST(TimeHistory, HeaderShorterThanOneRecordFailsWithReadBeyondEnd) {
  for (std::size_t size : {0u, 1u, 63u}) {
    Opened o;
    Write(o, {});
    test_support::TruncateFile(o.run() + ".TTS", size);
    try {
      Open(o);
      ADD_FAILURE() << size;
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), "Read beyond end of file: " + o.run() + ".TTS");
    }
    EXPECT_FALSE(o.history.IsOpen);
  }
}

// The peeked span is that of the steps an open indexes, or nothing where the open fails.
TEST(TimeHistory, PeekedSpanIsTheOpensFirstAndLastStepTime) {
  struct Case {
    const char* name;
    std::int16_t lastChannel;
    std::int32_t steps;
    std::optional<std::int32_t> lastStepInHeader;
    std::optional<std::size_t> cutTo;  // the file's size after writing
    std::int16_t magic = HL::kExpectedMagic;
  };
  const std::size_t step3 = 64 * 3;  // the bytes of a step of three records
  const Case cases[] = {
      {"whole", 11, 50, {}, {}},
      {"one step", 11, 1, {}, {}},
      {"three records a step, cut inside step 7", 28, 10, 20, 64 + 7 * step3 + 70},
      {"cut one byte short of the last step", 28, 10, {}, 64 + 10 * step3 - 1},
      {"more steps written than the header gives", 11, 40, 24, {}},
      {"no complete step", 28, 3, {}, 64 + step3 - 1},
      {"header cut", 11, 5, {}, 63},
      {"empty file", 11, 5, {}, 0},
      {"no steps in the header", 11, 5, -1, {}},
      {"old format", 11, 5, {}, {}, 1},
  };
  for (const Case& k : cases) {
    Opened o;
    demo::HistorySpec spec;
    spec.LastChannel = k.lastChannel;
    spec.Steps = k.steps;
    spec.LastStepInHeader = k.lastStepInHeader;
    spec.Magic = k.magic;
    spec.StartTime = -50;  // header times no step has
    spec.EndTime = 1e6;
    spec.values = [](std::int32_t s, std::span<float>) { return 2.5 + 0.25 * s * s; };
    Write(o, spec);
    if (k.cutTo) test_support::TruncateFile(o.run() + ".TTS", *k.cutTo);
    const auto peeked = PeekStepTimeSpan(o.run());
    HistoryOpenResult opened = HistoryOpenResult::Refused;
    try {
      opened = Open(o);
    } catch (const Error&) {
    }
    if (opened != HistoryOpenResult::Opened) {
      EXPECT_FALSE(peeked) << k.name;
      continue;
    }
    ASSERT_TRUE(peeked) << k.name;
    EXPECT_EQ(peeked->first, 2.5) << k.name;
    EXPECT_EQ(*peeked, std::pair(o.history.StepTimes.front(), o.history.StepTimes.back())) << k.name;
  }
  EXPECT_FALSE(PeekStepTimeSpan(TempDir() / "NONE"));
}

TEST(TimeHistory, FileShortenedWhileOpenFailsTheReadNotTheProgram) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 10;
  spec.LastChannel = 20;
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  test_support::TruncateFile(o.run() + ".TTS", 64 * (1 + 2 * 5) + 70);  // step 5 now ends inside its second record
  EXPECT_NO_THROW(ReadStep(o.history, 4, false, o.diag));
  EXPECT_THROW(ReadStep(o.history, 5, false, o.diag), Error);
  EXPECT_THROW(ReadStep(o.history, 9, false, o.diag), Error);
}

TEST(TimeHistory, ChannelSeriesMatchesStepByStepReads) {
  for (std::int16_t last : {std::int16_t{7}, std::int16_t{40}}) {
    Opened o;
    demo::HistorySpec spec;
    spec.LastChannel = last;
    spec.Steps = 20000;  // several read chunks
    spec.StepIndexOverride = {{17, 3}};
    Write(o, spec);
    ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
    const int channels[] = {6, 7, 33, -1};
    const auto series = ReadChannelSeries(o.history, channels, o.diag);
    EXPECT_EQ(o.diag.messages, std::vector<std::string>{"KVR JT ERROR!3 17"});
    ASSERT_EQ(series.size(), 4u);
    for (std::int32_t s = 0; s < 20000; s += 997) {
      const StepValues v = ReadStep(o.history, s, false, o.diag);
      EXPECT_EQ(series[0][s], v.Channels[6]);
      EXPECT_EQ(series[1][s], v.Channels[7]);
      EXPECT_EQ(series[2][s], last >= 33 ? v.Channels[33] : 0.0f);
      EXPECT_EQ(series[3][s], 0.0f);
    }
  }
}

// The open collects channels in its own pass: the same values as the separate pass, the file
// read once (the header, every step, then step 0 again), truncation and refusal included. A long
// history is read in parts on several threads; its misnumbered steps are still reported in order.
TEST(TimeHistory, OpenCollectsChannelsInTheIndexingPass) {
  struct Case {
    std::int16_t lastChannel;
    std::int32_t steps;
    std::optional<std::int32_t> lastStepInHeader;  // more than written: a truncated file
  };
  for (const Case c : {Case{11, 20000, {}}, Case{12, 300, {}}, Case{40, 5000, 9000}, Case{11, 300001, {}}}) {
    Opened o;
    demo::HistorySpec spec;
    spec.LastChannel = c.lastChannel;
    spec.Steps = c.steps;
    spec.LastStepInHeader = c.lastStepInHeader;
    spec.StepIndexOverride = {{17, 3}, {c.steps - 1, 5}};
    Write(o, spec);
    std::vector<ChannelSeries> collect{{6, {}}, {c.lastChannel, {}}, {c.lastChannel + 1, {}}, {0, {}}};
    ASSERT_EQ(OpenTimeHistory(o.history, o.run(), false, o.diag, collect), HistoryOpenResult::Opened);
    const std::size_t R = static_cast<std::size_t>(o.history.RecordsPerStep);
    EXPECT_EQ(o.history.File.BytesRead(), HL::kRecordSize * (1 + R * static_cast<std::size_t>(c.steps) + R))
        << c.lastChannel;
    const std::vector<std::string> misnumbered{"KVR JT ERROR!3 17", "KVR JT ERROR!5 " + std::to_string(c.steps - 1)};
    EXPECT_EQ(std::vector(o.diag.messages.end() - 2, o.diag.messages.end()), misnumbered) << c.steps;

    const int channels[] = {6, c.lastChannel, c.lastChannel + 1, 0};
    const auto separate = ReadChannelSeries(o.history, channels, o.diag);
    for (std::size_t k = 0; k < collect.size(); ++k) {
      EXPECT_EQ(collect[k].Channel, channels[k]);
      EXPECT_EQ(collect[k].Values, separate[k]) << "LastChannel " << c.lastChannel << " channel " << channels[k];
    }
    EXPECT_EQ(collect[1].Values[250], ReadStep(o.history, 250, false, o.diag).Channels[c.lastChannel]);
  }

  Opened refused;
  demo::HistorySpec spec;
  spec.Magic = 1;
  Write(refused, spec);
  std::vector<ChannelSeries> collect{{6, {1.0f}}};
  EXPECT_EQ(OpenTimeHistory(refused.history, refused.run(), false, refused.diag, collect), HistoryOpenResult::Refused);
  EXPECT_TRUE(collect[0].Values.empty());
}

TEST(TimeHistory, SingleStepHistory) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 1;
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  EXPECT_EQ(o.history.StepCount(), 1);
  EXPECT_EQ(o.history.Header.LastStep, 0);
}

TEST(TimeHistory, NonFiniteValuesAreTakenAsRead) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 2;
  spec.values = [](std::int32_t s, std::span<float> ch) {
    ch[2] = std::numeric_limits<float>::infinity();
    ch[3] = std::numeric_limits<float>::quiet_NaN();
    ch[7] = std::numeric_limits<float>::max();
    return s == 0 ? std::numeric_limits<double>::quiet_NaN() : -std::numeric_limits<double>::infinity();
  };
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  EXPECT_TRUE(std::isnan(o.history.StepTimes[0]));
  EXPECT_TRUE(std::isinf(o.history.StepTimes[1]));
  const StepValues v = ReadStep(o.history, 1, true, o.diag);
  EXPECT_TRUE(std::isinf(v.Channels[2]));
  EXPECT_TRUE(std::isnan(v.Channels[3]));
  EXPECT_TRUE(std::isfinite(v.Channels[7]));
}

TEST(TimeHistory, ReopeningReplacesThePreviousHistory) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 50;
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  spec.Steps = 3;
  spec.LastChannel = 30;
  Write(o, spec);
  ASSERT_EQ(Open(o), HistoryOpenResult::Opened);
  EXPECT_EQ(o.history.StepCount(), 3);
  EXPECT_EQ(o.history.RecordsPerStep, 3);
  CloseTimeHistory(o.history);
  EXPECT_FALSE(o.history.IsOpen);
  EXPECT_EQ(o.history.StepCount(), 0);
}

// A reopened history is a second handle of its own: the same header, paths and step times, nothing
// read yet, and it reads the same values after the first handle is closed. A history that is not
// open, or whose file is gone, cannot be reopened.
TEST(TimeHistory, ReopenedHistoryIsIndependentOfTheFirst) {
  Opened o;
  demo::HistorySpec spec;
  spec.Steps = 50;
  spec.LastChannel = 20;
  Write(o, spec);
  ASSERT_EQ(Open(o, true), HistoryOpenResult::Opened);
  const StepValues before = ReadStep(o.history, 37, true, o.diag);
  TimeHistory again = ReopenTimeHistory(o.history);
  EXPECT_EQ(again.File.BytesRead(), 0u);
  const TimeHistory& first = o.history;
  EXPECT_TRUE(again.IsOpen);
  EXPECT_EQ(again.Header.LastChannel, first.Header.LastChannel);
  EXPECT_EQ(again.Header.LastStep, first.Header.LastStep);
  EXPECT_EQ(again.Header.HeaderText, first.Header.HeaderText);
  EXPECT_EQ(again.Header.EndTime, first.Header.EndTime);
  EXPECT_EQ(again.RecordsPerStep, first.RecordsPerStep);
  EXPECT_EQ(again.StepTimes, first.StepTimes);
  EXPECT_EQ(again.HistoryPath, first.HistoryPath);
  EXPECT_EQ(again.RunFileName, first.RunFileName);
  EXPECT_EQ(again.FilePath, first.FilePath);
  EXPECT_TRUE(again.SpeedSpecified);
  CloseTimeHistory(o.history);
  const StepValues after = ReadStep(again, 37, true, o.diag);
  EXPECT_EQ(after.StepTime, before.StepTime);
  EXPECT_EQ(after.Channels, before.Channels);
  EXPECT_EQ(again.File.BytesRead(), HL::kRecordSize * static_cast<std::size_t>(again.RecordsPerStep));  // one step
  EXPECT_THROW(ReopenTimeHistory(o.history), Error);
  std::filesystem::remove(again.FilePath);
  EXPECT_THROW(ReopenTimeHistory(again), Error);
  EXPECT_TRUE(o.diag.messages.empty());
}

}  // namespace
}  // namespace hulvex
