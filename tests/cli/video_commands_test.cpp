#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>

#include "cli/run_tool.h"
#include "demo/boat_writer.h"
#include "support/run_builder.h"
#include "demo/run_writers.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::RunCli;
using test_support::TempDir;

std::string WriteRun(const TempDir& dir, int hullType = 4, std::int32_t steps = 1200) {
  test_support::RunBuilder run;
  run.SampleBoat(hullType).Steps(steps).History.values = [](std::int32_t s, std::span<float> ch) {
    const double t = s * 0.01;
    ch[kChHeight] = 0.4f;
    ch[kChAcceleration] = 32.18f;
    ch[kChPitch] = 0.05f;
    ch[kChDistance] = static_cast<float>(40 * t + 3 * std::sin(t));
    ch[kChSpeed] = static_cast<float>(40 + 3 * std::cos(t));
    ch[kChSurfaceGain] = 5.0f;
    ch[kChSurfaceStart] = 2.0f;
    ch[kChSurfaceEnd] = 20.0f;
    return t;
  };
  return run.Write(dir);
}

TEST(VideoCommands, FrameListsTheComposedStep) {
  TempDir dir;
  const std::string run = WriteRun(dir);
  const auto r = RunCli({"frame", run, "250"});
  ASSERT_EQ(r.code, 0) << r.err;
  const json j = json::parse(r.out);
  EXPECT_EQ(j["StepTime"].get<double>(), 2.5);
  ASSERT_EQ(j["DisplayList"].size(), 199u);
  EXPECT_EQ(j["DisplayList"][0], json::array({-16, 0}));
  EXPECT_EQ(j["DisplayList"][198], json::array({-64, 0}));
  EXPECT_EQ(j["Readout"].get<std::string>().substr(24), "kt       1.000g");
}

TEST(VideoCommands, ShiftAndThresholdOptions) {
  TempDir dir;
  const std::string run = WriteRun(dir);
  const json a = json::parse(RunCli({"frame", run, "10"}).out);
  const json b = json::parse(RunCli({"frame", run, "10", "--shift", "0.25"}).out);
  EXPECT_NEAR(b["DisplayList"][1][0].get<double>(), a["DisplayList"][1][0].get<double>() - 0.25, 1e-6);
  // Channel 8 is 5: above a threshold of 1 the sea loses its local term.
  const json off = json::parse(RunCli({"frame", run, "10", "--threshold", "1"}).out);
  int differ = 0;
  for (std::size_t i = 144; i < 199; ++i) differ += off["DisplayList"][i] != a["DisplayList"][i];
  EXPECT_GT(differ, 0);
}

TEST(VideoCommands, TrackHasOneEntryPerStep) {
  TempDir dir;
  const std::string run = WriteRun(dir);
  const auto r = RunCli({"track", run});
  ASSERT_EQ(r.code, 0) << r.err;
  const json j = json::parse(r.out);
  ASSERT_EQ(j["SmoothTrack"].size(), 1200u);
  EXPECT_EQ(j["SmoothTrack"][0].get<double>(), 0.0);
}

TEST(VideoCommands, OpenReportsOneReadOfTheHistoryAndTheBytesHeldPerStep) {
  TempDir dir;
  const std::string run = WriteRun(dir);
  const auto r = RunCli({"open", run});
  ASSERT_EQ(r.code, 0) << r.err;
  const json j = json::parse(r.out);
  std::vector<std::string> steps;
  for (const auto& [name, ms] : j["StepsMs"].items()) steps.push_back(name);
  EXPECT_EQ(steps, (std::vector<std::string>{"BuildSmoothTrack", "BuildStationTable", "LoadBoat", "LoadCaseDescription",
                                             "OpenTimeHistory", "PrepareHull", "ReadRunParameters", "SeaSetUp"}));
  // The header, the 1200 steps once, step 0 once more.
  EXPECT_EQ(j["HistoryFileBytes"], 64 * 1201);
  EXPECT_EQ(j["HistoryBytesRead"], 64 * 1202);
  EXPECT_LT(j["HistoryPasses"].get<double>(), 1.01);
  EXPECT_EQ(j["HeldChannels"], json::array({0, 3, 2, 7}));
  EXPECT_EQ(j["HeldBytesPerStep"], 28.0);  // 8 step time + 4 camera track + 4 x 4 plotted channels
}

TEST(VideoCommands, FailuresAreErrors) {
  TempDir dir;
  const std::string run = WriteRun(dir, 0);  // hull type 0 is refused
  auto r = RunCli({"frame", run, "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("error: The hull of " + run + " cannot be drawn"), std::string::npos) << r.err;
  TempDir other;
  const std::string good = WriteRun(other);
  r = RunCli({"frame", good, "5000"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("error: Read beyond end of file"), std::string::npos);
}

}  // namespace
}  // namespace hulvex::cli
