#include "run/loaded_run.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "common/file_lookup.h"
#include "demo/boat_writer.h"
#include "support/run_builder.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace hulvex {
namespace {
using test_support::TempDir;

// A run with the sample boat file it names ("C:\BOATS\TEST.BOT") beside it.
std::string WriteRun(const TempDir& dir, const std::string& name, std::int32_t steps = 20) {
  auto run = test_support::RunBuilder::Named(name, "Case A\r\nHead sea\r\n");
  run.SampleBoat(1, "TEST.BOT").History.Steps = steps;
  return run.Write(dir);
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
  EXPECT_TRUE(run.Hull.Drawable) << run.Hull.NotDrawableReason;
  EXPECT_EQ(run.Hull.PB.HullType, 1);
  EXPECT_EQ(run.Hull.Stations.StationCount, 40);
}

TEST(LoadedRun, MissingHistoryStillLoadsTheDescription) {
  TempDir dir;
  const std::string path = WriteRun(dir, "NOTTS");
  std::filesystem::remove(path + ".TTS");
  LoadedRun run;
  CollectingDiagnostics diag;
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::HistoryMissing);
  EXPECT_EQ(diag.messages, (std::vector<std::string>{"No file\n" + path + ".TTS", "Missing KVR file"}));
  EXPECT_EQ(run.Description, "Case A\r\nHead sea\r\n");
  EXPECT_FALSE(run.History.IsOpen);
  // The boat was read, but the hull is prepared only for a run whose history opened.
  EXPECT_TRUE(run.Hull.BoatLoaded);
  EXPECT_FALSE(run.Hull.Drawable);
  EXPECT_EQ(run.Hull.Stations.StationCount, 0);
}

TEST(LoadedRun, MissingDescriptionIsReportedAndTheOpenGoesOn) {
  TempDir dir;
  const std::string described = WriteRun(dir, "DESCRIBED");
  const std::string path = WriteRun(dir, "NOTXT");
  std::filesystem::remove(path + ".TXT");
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, described, diag), RunOpenResult::Loaded);
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_EQ(diag.messages, std::vector<std::string>{"Cannot open file " + path + ".TXT"});
  EXPECT_EQ(run.Description, "");  // nothing of the run before
  EXPECT_TRUE(run.History.IsOpen);
  EXPECT_TRUE(run.Hull.Drawable);
}

TEST(LoadedRun, DescriptionInWindows1252IsShownAsUtf8) {
  TempDir dir;
  const std::string path = WriteRun(dir, "CP");
  demo::WriteTextFile(path + ".TXT", "Deadrise 20\xB0\r\n");
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
  demo::HistorySpec spec;
  demo::WriteBoatFile(deep + "/TEST.BOT", demo::SampleBoat(2));
  const std::string path = demo::WriteSampleRun(deep, "RUN_WITH_A_LONG_NAME", demo::SampleRunParameters(), spec);
  ASSERT_GT(path.size(), 91u);
  LoadedRun run;
  CollectingDiagnostics diag;
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.History.HistoryPath, path);
}

TEST(LoadedRun, RefusedHistoryLeavesNoRunAndTheNextOpenWorks) {
  TempDir dir;
  demo::HistorySpec bad;
  bad.Magic = 1;
  const std::string path = demo::WriteSampleRun(dir.path(), "OLD", demo::SampleRunParameters(), bad);
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, WriteRun(dir, "FIRST"), diag), RunOpenResult::Loaded);
  EXPECT_EQ(OpenRun(run, path, diag), RunOpenResult::HistoryRefused);
  EXPECT_FALSE(run.History.IsOpen);
  EXPECT_EQ(OpenRun(run, WriteRun(dir, "AGAIN", 5), diag), RunOpenResult::Loaded);
  EXPECT_EQ(run.History.StepCount(), 5);
}

// A run in its own directory whose boat file is `boatFile` (written there when `pb` is given).
std::string WriteBoatRun(const TempDir& dir, const std::string& name, const std::string& boatFile,
                         const std::optional<BoatRecord>& pb, std::int16_t stations = 40) {
  auto run = test_support::RunBuilder::Named(name);
  run.Boat = pb;
  run.BoatFileName = boatFile;
  run.Params.StationCount = stations;
  run.Params.BoatFile = "C:\\BOATS\\" + boatFile;
  run.History.Steps = 5;
  return run.Write(dir);
}

TEST(LoadedRun, MissingBoatFileLeavesNoBoatAndNamesWhereItLooked) {
  TempDir dir, data, shared;
  const std::string first = WriteBoatRun(dir, "FIRST", "DEEP.BOT", demo::SampleBoat(5));
  const std::string second = WriteBoatRun(dir, "SECOND", "GONE.BOT", std::nullopt, 20);
  const std::string runDir = DirectoryOf(second);
  struct Case {
    const char* name;
    std::string dataDir, sharedDir;
    std::string looked;  // the directories the message names
  };
  const Case cases[] = {
      {"both data directories", data.path(), shared.path(), runDir + ", " + data.path() + ", " + shared.path()},
      {"empty ones skipped", "", shared.path(), runDir + ", " + shared.path()},
      {"repeated ones once", runDir, runDir, runDir},
  };
  for (const Case& c : cases) {
    // After a run with a boat, and in a fresh context: the same state, no boat of the run before.
    LoadedRun after, fresh;
    for (LoadedRun* run : {&after, &fresh}) {
      run->DataDir = c.dataDir;
      run->SharedDataDir = c.sharedDir;
    }
    CollectingDiagnostics diag;
    ASSERT_EQ(OpenRun(after, first, diag), RunOpenResult::Loaded) << c.name;
    ASSERT_TRUE(after.Hull.Drawable) << c.name;
    ASSERT_EQ(OpenRun(after, second, diag), RunOpenResult::Loaded) << c.name;
    CollectingDiagnostics freshDiag;
    ASSERT_EQ(OpenRun(fresh, second, freshDiag), RunOpenResult::Loaded) << c.name;
    const std::vector<std::string> expected{"Boat File Not Found!\nGONE.BOT — looked in " + c.looked};
    EXPECT_EQ(diag.messages, expected) << c.name;
    EXPECT_EQ(freshDiag.messages, expected) << c.name;
    for (const LoadedRun* run : {&after, &fresh}) {
      EXPECT_FALSE(run->Hull.BoatLoaded) << c.name;
      EXPECT_FALSE(run->Hull.Drawable) << c.name;
      EXPECT_EQ(run->Hull.NotDrawableReason, "Boat File Not Found: GONE.BOT") << c.name;
      EXPECT_EQ(run->Hull.PB.HullType, 0) << c.name;
      EXPECT_EQ(run->Hull.BoatPath, "") << c.name;
      EXPECT_EQ(run->Hull.Stations.StationCount, 0) << c.name;
      EXPECT_EQ(run->Hull.Stations.Sections[5].KeelZ, 0) << c.name;
    }
    // The run with its boat opens as before.
    diag.messages.clear();
    ASSERT_EQ(OpenRun(after, first, diag), RunOpenResult::Loaded) << c.name;
    EXPECT_TRUE(diag.messages.empty()) << c.name;
    EXPECT_TRUE(after.Hull.Drawable) << c.name;
    EXPECT_EQ(after.Hull.MissingBoatFile, "") << c.name;
  }
}

TEST(LoadedRun, BoatAndSplineFilesAreFoundInTheDataDirectory) {
  TempDir runs, data;
  demo::WriteBoatFile(data / "SPLINE.BOT", demo::SampleSplineBoat(SplineLayout::ChineAngle, "C:\\HV\\Lines.Txt"));
  demo::WriteSplineFile(data / "LINES.TXT", demo::SampleSplineTable(SplineLayout::ChineAngle, 10));
  const std::string path = WriteBoatRun(runs, "RUN", "spline.bot", std::nullopt);
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  ASSERT_EQ(diag.messages.size(), 1u);
  EXPECT_TRUE(diag.messages[0].starts_with("Boat File Not Found!\nspline.bot — looked in ")) << diag.messages[0];
  run.DataDir = data.path();
  diag.messages.clear();
  ASSERT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_TRUE(diag.messages.empty()) << diag.messages[0];
  EXPECT_EQ(run.Hull.BoatPath, data / "SPLINE.BOT");
  EXPECT_EQ(run.Hull.Splines.BottomKnots.Count, 9);
  EXPECT_TRUE(run.Hull.Drawable);
}

TEST(LoadedRun, SplineStoreKeepsWhatALoadDidNotTouch) {
  TempDir dir;
  demo::WriteSplineFile(dir / "INNER.TXT", demo::SampleSplineTable(SplineLayout::InnerChine, 12));
  demo::WriteSplineFile(dir / "SLOPES.TXT", demo::SampleSplineTable(SplineLayout::SlopeFactor, 7));
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, WriteBoatRun(dir, "A", "INNER.BOT", demo::SampleSplineBoat(SplineLayout::InnerChine, "INNER.TXT")), diag),
            RunOpenResult::Loaded);
  const SplineStore inner = run.Hull.Splines;
  ASSERT_EQ(inner.InnerKnots.Count, 10);
  ASSERT_EQ(OpenRun(run, WriteBoatRun(dir, "B", "SLOPE.BOT", demo::SampleSplineBoat(SplineLayout::SlopeFactor, "SLOPES.TXT")), diag),
            RunOpenResult::Loaded);
  EXPECT_TRUE(diag.messages.empty());
  const SplineStore& now = run.Hull.Splines;
  EXPECT_EQ(now.BottomKnots.Count, 7);
  EXPECT_EQ(now.LastRow, 6);
  EXPECT_EQ(now.InnerKnots.Count, inner.InnerKnots.Count);
  EXPECT_EQ(now.GunwaleKnots.Knots, inner.GunwaleKnots.Knots);
  EXPECT_EQ(now.StemEndX, inner.StemEndX);
  EXPECT_EQ(now.InnerHeightCurve.Values.Rows, inner.InnerHeightCurve.Values.Rows);
  EXPECT_EQ(now.KeelCurve.Coefs[3].D1, inner.KeelCurve.Coefs[3].D1);
  EXPECT_NE(now.KeelSlopeCurve.Coefs[2].D1, inner.KeelSlopeCurve.Coefs[2].D1);
}

TEST(LoadedRun, SplineLoadsAreAllOrNothing) {
  TempDir dir;
  const demo::SplineTable good = demo::SampleSplineTable(SplineLayout::PlainChine, 12);
  demo::WriteSplineFile(dir / "LINES.TXT", good);
  const std::string path = WriteBoatRun(dir, "RUN", "B.BOT", demo::SampleSplineBoat(SplineLayout::PlainChine, "LINES.TXT"));
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  const SplineStore before = run.Hull.Splines;
  const HullSection section20 = run.Hull.Stations.Sections[20];

  // The same run with a spoilt spline file: 20 rows, a letter in the 15th row's keel value.
  demo::SplineTable longer = demo::SampleSplineTable(SplineLayout::PlainChine, 20);
  demo::SplineTextOptions bad;
  bad.Replace = demo::SplineTextOptions::Replacement{14, 1, "0.3O"};
  demo::WriteSplineFile(dir / "LINES.TXT", longer, bad);
  diag.messages.clear();
  ASSERT_EQ(OpenRun(run, path, diag), RunOpenResult::Loaded);
  EXPECT_EQ(diag.messages, std::vector<std::string>{"Spline file " + (dir / "LINES.TXT") +
                                                    " rejected: Invalid numeric input \"0.3O\" on line 15"});
  const SplineStore& after = run.Hull.Splines;
  EXPECT_EQ(after.StationX.Rows, before.StationX.Rows);
  EXPECT_EQ(after.KeelCurve.Values.Rows, before.KeelCurve.Values.Rows);
  EXPECT_EQ(after.LastRow, before.LastRow);
  EXPECT_EQ(after.BottomKnots.Knots, before.BottomKnots.Knots);
  EXPECT_EQ(after.SheerCurve.Coefs[4].D2, before.SheerCurve.Coefs[4].D2);
  // The sections still come from the earlier, complete curves.
  EXPECT_TRUE(run.Hull.Drawable);
  EXPECT_EQ(run.Hull.Stations.Sections[20].KeelZ, section20.KeelZ);
}

TEST(LoadedRun, AFailedOpenLeavesTheHullUndrawn) {
  TempDir dir;
  LoadedRun run;
  CollectingDiagnostics diag;
  ASSERT_EQ(OpenRun(run, WriteRun(dir, "GOOD"), diag), RunOpenResult::Loaded);
  ASSERT_TRUE(run.Hull.Drawable);
  EXPECT_THROW(OpenRun(run, dir / "MISSING", diag), Error);
  EXPECT_FALSE(run.History.IsOpen);
  EXPECT_FALSE(run.Hull.Drawable);
  EXPECT_EQ(run.Description, "");  // nothing of the run before

  const std::string shortBoat = WriteRun(dir, "SHORT");
  test_support::TruncateFile(dir / "TEST.BOT", 100);  // a short boat file ends the open before the history
  EXPECT_THROW(OpenRun(run, shortBoat, diag), Error);
  EXPECT_FALSE(run.History.IsOpen);
}

}  // namespace
}  // namespace hulvex
