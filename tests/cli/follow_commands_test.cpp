// info's StepsInFile, stats --partial, watch and make-demo --growing: runs still being written.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli/run_tool.h"
#include "common/file_reading.h"
#include "demo/demo_runs.h"
#include "demo/run_writers.h"
#include "support/file_edit.h"
#include "support/run_builder.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::Lines;
using test::RunCli;
using test_support::RunBuilder;
using test_support::TempDir;
namespace HL = time_history_layout;

constexpr double kDt = 0.01;

RunBuilder Planing(const std::string& name, std::int32_t steps, std::optional<std::int32_t> lastStep) {
  RunBuilder run = RunBuilder::Named(name);
  run.Steps(steps, kDt);
  run.History.values = demo::SteadyPlaning(kDt, 40.0, 5.0);
  run.History.LastStepInHeader = lastStep;
  return run;
}

TEST(FollowCommands, InfoCountsTheWholeStepsInTheFile) {
  struct Case {
    const char* what;
    std::int32_t steps;
    std::optional<std::int32_t> lastStep;
    std::size_t extraBytes;  // a partial step after the whole ones
    std::int64_t stepsInFile;
  };
  const std::vector<Case> cases{{"complete", 30, std::nullopt, 0, 30},
                                {"being written", 30, 99, 0, 30},
                                {"a partial step at the end", 30, 99, 17, 30},
                                {"more than LastStep announces", 30, 9, 63, 30}};
  for (const Case& c : cases) {
    TempDir dir;
    const std::string run = Planing("RUN", c.steps, c.lastStep).Write(dir);
    if (c.extraBytes > 0) test_support::PatchFile(run + ".TTS", HL::kRecordSize * (1 + c.steps), std::vector<std::uint8_t>(c.extraBytes, 7));
    const auto r = RunCli({"info", run});
    ASSERT_EQ(r.code, 0) << c.what << ": " << r.err;
    const json h = json::parse(r.out)["TimeHistory"];
    EXPECT_EQ(h["StepsInFile"].get<std::int64_t>(), c.stepsInFile) << c.what;
    EXPECT_EQ(h["LastStep"].get<std::int32_t>(), c.lastStep.value_or(c.steps - 1)) << c.what;
  }
}

// The Channels of `hulvex stats` (with `extra` options) of a run.
json ChannelsOf(const std::string& run, std::vector<std::string> extra = {}) {
  std::vector<std::string> args{"stats", run};
  args.insert(args.end(), extra.begin(), extra.end());
  const auto r = RunCli(args);
  EXPECT_EQ(r.code, 0) << r.err;
  return r.code == 0 ? json::parse(r.out)["Channels"] : json();
}

TEST(FollowCommands, StatsPartialAnalysesTheStepsPresent) {
  TempDir dir;
  // 400 steps of a run that will have 1000, its LastStep unknown yet; and the same 400 steps as a
  // finished run, for the figures they must give.
  const std::string writing = Planing("WRITING", 400, -1).Write(dir);
  const std::string finished = Planing("FINISHED", 400, std::nullopt).Write(dir);
  const auto refused = RunCli({"stats", writing});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.err.find("holds no time steps (LastStep -1)"), std::string::npos) << refused.err;
  EXPECT_EQ(ChannelsOf(writing, {"--partial"}), ChannelsOf(finished));
  // LastStep announced: the partial open reports no truncation.
  test_support::PatchFile(writing + ".TTS", HL::kLastStep, test_support::Int32Bytes(999));
  const auto partial = RunCli({"stats", writing, "--partial"});
  EXPECT_EQ(partial.code, 0);
  EXPECT_EQ(partial.err, "");
  EXPECT_EQ(json::parse(partial.out)["Steps"].get<int>(), 400);
}

TEST(FollowCommands, WatchPrintsALinePerGrowthWhileAWriterAppends) {
  TempDir dir;
  constexpr std::int32_t kSteps = 600;
  RunBuilder builder = Planing("LIVE", 1, std::nullopt);  // .HVX and .TXT; the history comes from the writer
  const std::string run = builder.Write(dir);
  std::filesystem::remove(run + ".TTS");  // the simulator has not started writing it
  demo::HistorySpec spec = Planing("LIVE", kSteps, std::nullopt).History;
  std::jthread writer([&] {
    demo::GrowingHistoryWriter w(run + ".TTS", spec);
    while (!w.Done()) {
      w.Append(50);
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
  });
  // The idle time that ends the watch is far above the writer's pauses even on a loaded machine.
  const auto r = RunCli({"watch", run, "--interval", "0.02", "--idle", "2"});
  writer.join();
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u) << r.out;
  int previous = 0;
  for (const std::string& line : lines) {
    SCOPED_TRACE(r.out + r.err);
    const json j = json::parse(line);
    EXPECT_GT(j["Steps"].get<int>(), previous) << line;
    previous = j["Steps"].get<int>();
    EXPECT_DOUBLE_EQ(j["LastTime"].get<double>(), (previous - 1) * kDt);
    EXPECT_EQ(j["Channels"].size(), 4u);
  }
  EXPECT_EQ(previous, kSteps);
  EXPECT_EQ(json::parse(lines.back())["Channels"], ChannelsOf(run));
}

TEST(FollowCommands, WatchEndsAfterIdleAndReadsAChangedRunAnew) {
  TempDir dir;
  const std::string run = Planing("RUN", 200, std::nullopt).Write(dir);
  std::jthread changer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    test_support::TruncateFile(run + ".TTS", HL::kRecordSize * 101);  // shrinks to 100 steps
  });
  const auto r = RunCli({"watch", run, "--interval", "0.02", "--idle", "0.5"});
  changer.join();
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u) << r.out << r.err;
  EXPECT_EQ(json::parse(lines[0])["Steps"].get<int>(), 200);
  EXPECT_EQ(json::parse(lines[1])["Steps"].get<int>(), 100);
  EXPECT_EQ(r.err, "message: " + run + ".TTS changed (the file became shorter): read anew\n");
}

TEST(FollowCommands, MakeDemoGrowingWritesTheDemonstrationRunStepByStep) {
  TempDir grown, whole;
  const auto r = RunCli({"make-demo", "--growing", "PR24SINE", "--rate", "200000", grown.path()});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Lines(r.out).back(), "wrote " + (grown / "PR24SINE") + ".HVX");
  for (const demo::DemoCase& c : demo::DemoCases())
    if (c.Name == "PR24SINE") demo::WriteDemoRun(whole.path(), c);
  for (const char* ext : {".TTS", ".HVX", ".TXT"})
    EXPECT_EQ(ReadWholeFile(grown / ("PR24SINE" + std::string(ext))), ReadWholeFile(whole / ("PR24SINE" + std::string(ext)))) << ext;
  const auto unknown = RunCli({"make-demo", "--growing", "NOSUCH", grown.path()});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_NE(unknown.err.find("error: No demonstration run NOSUCH: the runs are DV30HEAD, "), std::string::npos) << unknown.err;
}

}  // namespace
}  // namespace hulvex::cli
