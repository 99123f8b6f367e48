#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "cli/run_tool.h"
#include "support/run_builder.h"
#include "demo/run_writers.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::RunCli;
using test_support::TempDir;

std::string WriteRun(const TempDir& dir, std::int16_t lastChannel = 11, std::uint8_t mode = 1) {
  test_support::RunBuilder run;
  run.Params.DOFMode = mode;
  run.Params.BoatFile = "C:\\BOATS\\CAF\xC9.BOT";
  run.History.LastChannel = lastChannel;
  run.History.Steps = 12;
  run.History.HeaderText = "TEST HISTORY";
  return run.Write(dir);
}

TEST(Cli, InfoPrintsTheRecordAndTheHeader) {
  TempDir dir;
  const std::string run = WriteRun(dir, 40);
  for (const std::string& given : {run, run + ".HVX"}) {
    const auto r = RunCli({"info", given});
    ASSERT_EQ(r.code, 0) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["RunPath"], run);
    const json& p = j["RunParameters"];
    EXPECT_EQ(p["DOFMode"], 1);
    EXPECT_EQ(p["DOFModeName"], "3 Degrees of Freedom (Thrust Specified)");
    EXPECT_EQ(p["SpeedSpecified"], false);
    EXPECT_EQ(p["WavesName"], "Sinusoidal Sea");
    EXPECT_EQ(p["BoatFile"], "C:\\BOATS\\CAF\xC3\x89.BOT");  // Windows-1252 shown as UTF-8
    EXPECT_EQ(p["WvSteep"].get<double>(), static_cast<double>(0.05f));  // 17 digits: exact
    EXPECT_EQ(p["ThrustTbl"].size(), 7u);
    EXPECT_EQ(p["BLTbl"].size(), 4u);
    EXPECT_EQ(p["StationCount"], 40);
    const json& h = j["TimeHistory"];
    EXPECT_EQ(h["Magic"], 32000);
    EXPECT_EQ(h["LastChannel"], 40);
    EXPECT_EQ(h["HeaderText"], "TEST HISTORY");
    EXPECT_EQ(h["LastStep"], 11);
    EXPECT_EQ(h["RecordsPerStep"], 3);
  }
}

TEST(Cli, StepPrintsConvertedOrRawValues) {
  TempDir dir;
  const std::string run = WriteRun(dir, 12);
  const auto conv = RunCli({"step", run, "3"});
  const auto raw = RunCli({"step", run, "3", "--raw"});
  ASSERT_EQ(conv.code, 0) << conv.err;
  ASSERT_EQ(raw.code, 0) << raw.err;
  const json c = json::parse(conv.out), r = json::parse(raw.out);
  EXPECT_EQ(c["Step"], 3);
  EXPECT_EQ(c["StepTime"].get<double>(), 0.03);
  ASSERT_EQ(r["Channels"].size(), 13u);
  EXPECT_EQ(r["Channels"][2].get<double>(), static_cast<double>(3.02f));
  EXPECT_EQ(c["Channels"][2].get<double>(), static_cast<double>(static_cast<float>(3.02f * 0.031075201988812928)));
  EXPECT_EQ(r["Channels"][12].get<double>(), static_cast<double>(3.12f));
}

TEST(Cli, CsvHasOneLinePerStepAndExactValues) {
  TempDir dir;
  const std::string run = WriteRun(dir, 11);
  const auto r = RunCli({"csv", run, "--raw"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::istringstream in(r.out);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "step,time,ch0,ch1,ch2,ch3,ch4,ch5,ch6,ch7,ch8,ch9,ch10,ch11");
  int rows = 0;
  std::string last;
  while (std::getline(in, line)) {
    ++rows;
    last = line;
  }
  EXPECT_EQ(rows, 12);
  // Step 11: time 0.11, channel c = 11 + c/100 in single precision.
  std::istringstream fields(last);
  std::string f;
  std::getline(fields, f, ',');
  EXPECT_EQ(f, "11");
  std::getline(fields, f, ',');
  EXPECT_EQ(std::stod(f), 0.11);
  for (int c = 0; c < 12; ++c) {
    std::getline(fields, f, ',');
    EXPECT_EQ(std::stof(f), static_cast<float>(11 + c / 100.0)) << c;
  }
}

TEST(Cli, MessagesGoToStderr) {
  TempDir dir;
  RunParameters p = demo::SampleRunParameters();
  demo::HistorySpec spec;
  spec.Steps = 5;
  spec.StepIndexOverride = {{2, 9}};
  const std::string run = demo::WriteSampleRun(dir.path(), "MIS", p, spec);
  const auto r = RunCli({"step", run, "2"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "message: KVR JT ERROR!9 2\n");
}

struct FailureCase {
  const char* name;
  std::vector<std::string> args;
  int code;
  std::string errStart;
};

TEST(Cli, FailuresAndBadUsage) {
  TempDir dir;
  const std::string run = WriteRun(dir);
  demo::HistorySpec old;
  old.Magic = 12;
  const std::string oldRun = demo::WriteSampleRun(dir.path(), "OLD", demo::SampleRunParameters(), old);
  const FailureCase cases[] = {
      {"missing run", {"info", dir / "NONE"}, 1, "error: File not found: " + (dir / "NONE.HVX")},
      {"step out of range", {"step", run, "12"}, 1, "error: Read beyond end of file: " + run + ".TTS"},
      {"negative step", {"step", run, "-1"}, 1, "error: Read beyond end of file"},
      {"old history", {"info", oldRun}, 1, "message: OLD KVR FILE FORMAT, MUST CONVERT\nerror: "},
      {"no subcommand", {}, 2, ""},
      {"unknown subcommand", {"frobnicate"}, 2, ""},
      {"step without number", {"step", run}, 2, ""},
      {"step not a number", {"step", run, "x"}, 2, ""},
  };
  for (const auto& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.code, c.code) << c.name << "\n" << r.err;
    EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart) << c.name;
  }
}

TEST(Cli, MissingHistoryFailsWithItsMessages) {
  TempDir dir;
  const std::string run = WriteRun(dir);
  std::filesystem::remove(run + ".TTS");
  const auto r = RunCli({"info", run});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "message: No file\n" + run + ".TTS\nerror: Missing KVR file: " + run + ".TTS\n");
}

TEST(Cli, MakeDemoWritesARunThatInfoReads) {
  TempDir dir;
  const auto made = RunCli({"make-demo", dir.path()});
  ASSERT_EQ(made.code, 0) << made.err;
  const auto r = RunCli({"info", dir / "DV30HEAD"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_GT(json::parse(r.out)["TimeHistory"]["LastStep"].get<int>(), 1000);
}

}  // namespace
}  // namespace hulvex::cli
