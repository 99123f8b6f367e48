#include "run/loaded_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "testing/file_edit.h"
#include "testing/run_writers.h"

namespace hulvex {
namespace {
using testing::TempDir;

std::string WriteRun(const TempDir& dir, const std::string& name, std::int32_t steps = 20) {
  testing::HistorySpec spec;
  spec.Steps = steps;
  return testing::WriteSampleRun(dir.path(), name, testing::SampleRunParameters(), spec, "Case A\r\nHead sea\r\n");
}

TEST(LoadedRun, OpensAGoodRun) {
  TempDir dir;
  const std::string path = WriteRun(dir, "GOOD");
  LoadedRun run;
  CollectingDiagnostics diag;
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_TRUE(diag.messages.empty());
  EXPECT_EQ(run.RunPath, path);
  EXPECT_EQ(run.Params.StationCount, 40);
  EXPECT_EQ(run.History.StepCount(), 20);
  EXPECT_EQ(run.Description, "Case A\r\nHead sea\r\n");
}

TEST(LoadedRun, MissingHistoryStillLoadsTheDescription) {
  TempDir dir;
  const std::string path = WriteRun(dir, "NOTTS");
  std::filesystem::remove(path + ".TTS");
  LoadedRun run;
  CollectingDiagnostics diag;
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::HistoryMissing);
  EXPECT_EQ(diag.messages, (std::vector<std::string>{"No file", "Missing KVR file"}));
  EXPECT_EQ(run.Description, "Case A\r\nHead sea\r\n");
  EXPECT_FALSE(run.History.IsOpen);
}

TEST(LoadedRun, MissingDescriptionEndsTheOpenAndLeavesNothingHalfLoaded) {
  TempDir dir;
  const std::string path = WriteRun(dir, "NOTXT");
  std::filesystem::remove(path + ".TXT");
  LoadedRun run;
  CollectingDiagnostics diag;
  try {
    OpenRun(run, path, diag);
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + path + ".TXT");
  }
  EXPECT_FALSE(run.History.IsOpen);
  // The same context opens the next good run.
  EXPECT_EQ(OpenRun(run, WriteRun(dir, "NEXT", 7), diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.History.StepCount(), 7);
}

TEST(LoadedRun, DescriptionInWindows1252IsShownAsUtf8) {
  TempDir dir;
  const std::string path = WriteRun(dir, "CP");
  testing::WriteTextFile(path + ".TXT", "Deadrise 20\xB0\r\n");
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.Description, "Deadrise 20\xC2\xB0\r\n");
}

TEST(LoadedRun, DeepPathsOpenWhole) {
  TempDir dir;
  std::string deep = dir.path();
  while (deep.size() < 150) deep += "/a_rather_long_directory_name";
  std::filesystem::create_directories(deep);
  testing::HistorySpec spec;
  const std::string path = testing::WriteSampleRun(deep, "RUN_WITH_A_LONG_NAME", testing::SampleRunParameters(), spec);
  ASSERT_GT(path.size(), 91u);
  LoadedRun run;
  CollectingDiagnostics diag;
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.History.HistoryPath, path);
}

TEST(LoadedRun, RefusedHistoryLeavesNoRunAndTheNextOpenWorks) {
  TempDir dir;
  testing::HistorySpec bad;
  bad.Magic = 1;
  const std::string path = testing::WriteSampleRun(dir.path(), "OLD", testing::SampleRunParameters(), bad);
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, WriteRun(dir, "FIRST"), diag), RunOpenResult::Loaded);
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::HistoryRefused);
  EXPECT_FALSE(run.History.IsOpen);
  EXPECT_EQ(OpenRun(run, WriteRun(dir, "AGAIN", 5), diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.History.StepCount(), 5);
}

}  // namespace
}  // namespace hulvex
