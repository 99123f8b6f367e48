#include "hull/hull_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "common/error.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace hulvex {
namespace {
using test_support::TempDir;

RunParameters Params(const std::string& boatFile, std::int16_t stations = 40) {
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = boatFile;
  p.StationCount = stations;
  return p;
}

// Load, prepare and build as an open does.
std::vector<std::string> Open(HullModel& hull, const RunParameters& p, const std::string& runDir,
                              const std::string& dataDir = "") {
  CollectingDiagnostics diag;
  LoadBoat(hull, p, runDir, {dataDir}, diag);
  PrepareLoadedHull(hull, p, runDir, {dataDir}, diag);
  BuildLoadedStations(hull, p, diag);
  return diag.messages;
}

TEST(FindBoatFile, LastComponentInTheRunDirectoryThenEachDataDirectory) {
  TempDir run, data, shared;
  demo::WriteBoatFile(run / "Runabout.bot", demo::SampleBoat(1));
  demo::WriteBoatFile(data / "RUNABOUT.BOT", demo::SampleBoat(2));
  demo::WriteBoatFile(data / "CRUISER.BOT", demo::SampleBoat(2));
  demo::WriteBoatFile(shared / "CRUISER.BOT", demo::SampleBoat(2));
  demo::WriteBoatFile(shared / "Skiff.Bot", demo::SampleBoat(2));
  struct Case {
    std::string boatFile, expected;
  } cases[] = {
      {"C:\\BOATS\\RUNABOUT.BOT", run / "Runabout.bot"},
      {"D:RUNABOUT.BOT", run / "Runabout.bot"},
      {"Runabout.bot", run / "Runabout.bot"},
      {"C:\\X\\cruiser.bot", data / "CRUISER.BOT"},
      {"boats/CRUISER.BOT", data / "CRUISER.BOT"},
      {"C:\\X\\SKIFF.BOT", shared / "Skiff.Bot"},
      {"C:\\BOATS\\", "none"},
      {"", "none"},
      {"C:\\BOATS\\MISSING.BOT", "none"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindBoatFile(c.boatFile, run.path(), {data.path(), shared.path()}).value_or("none"), c.expected)
        << c.boatFile;
  EXPECT_EQ(FindBoatFile("CRUISER.BOT", run.path(), {"", shared.path()}), shared / "CRUISER.BOT");
  EXPECT_FALSE(FindBoatFile("CRUISER.BOT", run.path(), {}).has_value());
}

TEST(HullModel, EveryHullTypeAndLayoutBuildsADrawableTable) {
  TempDir dir;
  struct Case {
    const char* name;
    BoatRecord pb;
    std::optional<SplineLayout> file;
  };
  std::vector<Case> cases;
  for (int type = 1; type <= 6; ++type) cases.push_back({"analytic", demo::SampleBoat(type), std::nullopt});
  for (SplineLayout l : {SplineLayout::PlainChine, SplineLayout::InnerChine, SplineLayout::ChineAngle,
                         SplineLayout::SlopeFactor})
    cases.push_back({"spline", demo::SampleSplineBoat(l, "lines.txt"), l});
  for (const Case& c : cases) {
    if (c.file) demo::WriteSplineFile(dir / "lines.txt", demo::SampleSplineTable(*c.file, 15));
    demo::WriteBoatFile(dir / "B.BOT", c.pb);
    HullModel hull;
    const auto messages = Open(hull, Params("B.BOT"), dir.path());
    EXPECT_TRUE(messages.empty()) << c.name << " " << c.pb.HullType << ": " << messages.front();
    EXPECT_TRUE(hull.Drawable) << hull.NotDrawableReason;
    EXPECT_EQ(hull.Stations.StationCount, 40);
    EXPECT_DOUBLE_EQ(hull.Stations.StationSpacing, 24.0 / 40);
    EXPECT_NEAR(hull.Stations.Sections[40].KeelZ, hull.PB.HullType >= 7 ? 1.6 : hull.PB.KeelDepth, 0.01);
  }
}

TEST(HullModel, MissingBoatFileLeavesNoBoat) {
  TempDir dir;
  demo::WriteBoatFile(dir / "A.BOT", demo::SampleBoat(5));
  struct Case {
    std::string boatFile, message, reason;
  } cases[] = {
      {"C:\\B\\OTHER.BOT", "Boat File Not Found!\nOTHER.BOT — looked in " + dir.path(), "Boat File Not Found: OTHER.BOT"},
      {"C:\\B\\", "Boat File Not Found!\nThe run names no boat file", "Boat File Not Found: (no name)"},
  };
  for (const Case& c : cases) {
    HullModel hull;
    ASSERT_TRUE(Open(hull, Params("A.BOT"), dir.path()).empty());
    EXPECT_EQ(Open(hull, Params(c.boatFile), dir.path()), std::vector<std::string>{c.message});
    EXPECT_FALSE(hull.BoatLoaded);
    EXPECT_EQ(hull.PB.HullType, 0);
    EXPECT_EQ(hull.Stations.StationCount, 0);
    EXPECT_FALSE(hull.Drawable);
    EXPECT_EQ(hull.NotDrawableReason, c.reason);
  }
}

TEST(HullModel, ShortBoatFileEndsTheCommand) {
  TempDir dir;
  demo::WriteBoatFile(dir / "A.BOT", demo::SampleBoat(1));
  test_support::TruncateFile(dir / "A.BOT", 200);
  HullModel hull;
  CollectingDiagnostics diag;
  EXPECT_THROW(LoadBoat(hull, Params("A.BOT"), dir.path(), {}, diag), Error);
  EXPECT_FALSE(hull.BoatLoaded);
}

TEST(HullModel, BadInputIsReportedOnceAndLeavesTheHullUndrawn) {
  struct Case {
    const char* name;
    int type;
    std::int16_t stations;
    void (*edit)(BoatRecord&);
    std::vector<std::string> messages;
    std::string reason;
  };
  const Case cases[] = {
      {"hull type 0", 1, 40, [](BoatRecord& pb) { pb.HullType = 0; },
       {"Hull type 0 of boat file DIR/B.BOT is not defined: the boat is rejected and the hull is not drawn"},
       "hull type 0 is not defined"},
      {"hull type -3", 1, 40, [](BoatRecord& pb) { pb.HullType = -3; },
       {"Hull type -3 of boat file DIR/B.BOT is not defined: the boat is rejected and the hull is not drawn"},
       "hull type -3 is not defined"},
      {"zero length", 3, 40, [](BoatRecord& pb) { pb.ForeLength = pb.AftLength = 0; },
       {"The hull cannot be drawn: the boat length is not positive"}, "the boat length is not positive"},
      {"negative length", 1, 40, [](BoatRecord& pb) { pb.AftLength = -20; },
       {"The hull cannot be drawn: the boat length is not positive"}, "the boat length is not positive"},
      {"NaN keel depth", 1, 40, [](BoatRecord& pb) { pb.KeelDepth = std::nanf(""); },
       {"The hull cannot be drawn: the station spacing or the centre of gravity is not finite"},
       "the station spacing or the centre of gravity is not finite"},
      {"infinite chine depth", 2, 40, [](BoatRecord& pb) { pb.ChineDepth = INFINITY; },
       {"The hull cannot be drawn: the hull section at station 0 is not finite"},
       "the hull section at station 0 is not finite"},
      {"NaN beam of a deadrise hull", 4, 40, [](BoatRecord& pb) { pb.Beam = std::nanf(""); },
       {"The hull cannot be drawn: the hull section at station 0 is not finite"},
       "the hull section at station 0 is not finite"},
      {"no stations", 1, 0, [](BoatRecord&) {},
       {"Station count 0: the hull needs at least one station and is not drawn"}, "the station count is 0"},
      {"negative stations", 2, -1, [](BoatRecord&) {},
       {"Station count -1: the hull needs at least one station and is not drawn"}, "the station count is -1"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    BoatRecord pb = demo::SampleBoat(c.type);
    c.edit(pb);
    demo::WriteBoatFile(dir / "B.BOT", pb);
    HullModel hull;
    auto messages = Open(hull, Params("B.BOT", c.stations), dir.path());
    for (auto& m : messages)
      if (auto at = m.find(dir.path()); at != std::string::npos) m.replace(at, dir.path().size(), "DIR");
    EXPECT_EQ(messages, c.messages) << c.name;
    EXPECT_FALSE(hull.Drawable) << c.name;
    EXPECT_EQ(hull.NotDrawableReason, c.reason) << c.name;
  }
}

TEST(HullModel, ZeroForebodyGivesAFiniteHullAndNoCrash) {
  for (int type : {1, 2, 4, 5, 6}) {
    TempDir dir;
    BoatRecord pb = demo::SampleBoat(type);
    pb.ForeLength = 0;
    pb.ChineLength = 0;
    pb.DeadriseLength = 0;
    demo::WriteBoatFile(dir / "B.BOT", pb);
    HullModel hull;
    Open(hull, Params("B.BOT"), dir.path());
    EXPECT_TRUE(hull.Drawable) << type << ": " << hull.NotDrawableReason;
  }
}

TEST(HullModel, TooManyStationsAreCutTo40) {
  TempDir dir;
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(1));
  HullModel hull;
  EXPECT_EQ(Open(hull, Params("B.BOT", 400), dir.path()),
            std::vector<std::string>{"Station count 400 is above 40: 40 stations are used"});
  EXPECT_TRUE(hull.Drawable);
  EXPECT_EQ(hull.Stations.StationCount, 40);
  EXPECT_DOUBLE_EQ(hull.Stations.StationSpacing, 0.6);
}

TEST(HullModel, SplineHullWithoutItsFileIsNotDrawn) {
  TempDir dir;
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleSplineBoat(SplineLayout::InnerChine, "NOPE.SPL"));
  HullModel hull;
  EXPECT_EQ(Open(hull, Params("C:\\B.BOT"), dir.path()),
            (std::vector<std::string>{"No Spline File for=C:\\B.BOT",
                                      "The hull cannot be drawn: no hull lines are loaded for this boat"}));
  EXPECT_FALSE(hull.Drawable);
}

TEST(HullModel, SlopeFactorFileShapesTheBottom) {
  TempDir dir;
  demo::WriteSplineFile(dir / "SLOPES.TXT", demo::SampleSplineTable(SplineLayout::SlopeFactor, 10));
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleSplineBoat(SplineLayout::SlopeFactor, "SLOPES.TXT"));
  HullModel hull;
  ASSERT_TRUE(Open(hull, Params("B.BOT"), dir.path()).empty());
  for (int c = 1; c <= 40; ++c) {
    const HullSection& h = hull.Stations.Sections[c];
    EXPECT_NE(h.BottomC2, 0);
    EXPECT_NEAR(h.BottomC1 + h.BottomC2 + h.BottomC3, h.ChineHalfBeam / (h.KeelZ - h.ChineZ), 1e-9);
  }
}

}  // namespace
}  // namespace hulvex
