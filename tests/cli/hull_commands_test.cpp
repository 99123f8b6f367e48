#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/run_tool.h"
#include "demo/boat_writer.h"
#include "support/run_builder.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::RunCli;
using test_support::TempDir;

std::string WriteRun(const TempDir& dir, const BoatRecord& pb, std::int16_t stations = 40) {
  test_support::RunBuilder run;
  run.Boat = pb;
  run.BoatFileName = "BOAT.BOT";
  run.Params.StationCount = stations;
  run.History.Steps = 5;
  return run.Write(dir);
}

TEST(HullCommands, StationsForEveryHullTypeAndLayout) {
  struct Case {
    BoatRecord pb;
    std::optional<SplineLayout> file;
  };
  std::vector<Case> cases;
  for (int type = 1; type <= 6; ++type) cases.push_back({demo::SampleBoat(type), std::nullopt});
  for (SplineLayout l : {SplineLayout::PlainChine, SplineLayout::InnerChine, SplineLayout::ChineAngle,
                         SplineLayout::SlopeFactor})
    cases.push_back({demo::SampleSplineBoat(l, "LINES.TXT"), l});
  for (const Case& c : cases) {
    TempDir dir;
    if (c.file) demo::WriteSplineFile(dir / "LINES.TXT", demo::SampleSplineTable(*c.file, 13));
    const auto r = RunCli({"stations", WriteRun(dir, c.pb, 30)});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const json j = json::parse(r.out);
    EXPECT_EQ(j["StationCount"], 30);
    EXPECT_DOUBLE_EQ(j["StationSpacing"].get<double>(), 24.0 / 30);
    // Hull-line files set KeelDepth to the keel height at the forward end of the bottom (2 ft).
    const bool lines = c.file && *c.file != SplineLayout::SlopeFactor;
    EXPECT_EQ(j["CgBelowDatum"].get<double>(), (lines ? 2.0 : static_cast<double>(c.pb.KeelDepth)) - c.pb.VCG);
    ASSERT_EQ(j["Stations"].size(), 41u);
    for (int s = 0; s <= 40; ++s) {
      const json& e = j["Stations"][s];
      if (s > 30) {
        EXPECT_TRUE(e.is_null());
        continue;
      }
      ASSERT_EQ(e.size(), 13u);
      for (const char* key : {"ChineHalfBeam", "InnerHalfBeam", "KeelZ", "ChineZ", "InnerZ", "KeelZSlope",
                              "ChineZSlope", "InnerZSlope", "GunwaleHalfBeam", "SheerHeight", "BottomC1",
                              "BottomC2", "BottomC3"})
        EXPECT_TRUE(e[key].is_number()) << key;
      EXPECT_GE(e["KeelZ"].get<double>(), e["ChineZ"].get<double>());
    }
  }
}

TEST(HullCommands, BoatPrintsThePreparedRecordAndTheSplineFileName) {
  TempDir dir;
  BoatRecord pb = demo::SampleSplineBoat(SplineLayout::SlopeFactor, "SLOPES.TXT");
  pb.ChineTaper2 = 99;  // recomputed on the way
  pb.BoatName = "Caf\xE9 SLOPES.TXT";
  pb.BoatName.resize(48, ' ');
  const auto r = RunCli({"boat", WriteRun(dir, pb)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "message: No Spline File for=C:\\BOATS\\BOAT.BOT\n");
  const json j = json::parse(r.out);
  EXPECT_EQ(j["SplineFileName"], "Caf\xC3\xA9 SLOPES.TXT");
  const json& p = j["PB"];
  EXPECT_EQ(p["HullType"], 1);
  EXPECT_EQ(p["Length"].get<double>(), 24.0);
  EXPECT_EQ(p["ChineTaper2"].get<double>(), static_cast<double>(demo::SampleBoat(1).ChineTaper2));
  EXPECT_EQ(p["SplineProps"], 1);
  EXPECT_EQ(p["LevTbl"].size(), 4u);
  EXPECT_EQ(p["Reserved62"].size(), 4u);
  EXPECT_EQ(p["BoatName"].get<std::string>().size(), 48u + 1);  // one character of two UTF-8 bytes
  EXPECT_EQ(p.size(), 1u + 71u + 6u + 2u);  // HullType, the reals, the block after ForeLength, BoatName, SplineProps
}

TEST(HullCommands, DataDirectoryOptionAndMessagesOnStderr) {
  TempDir runs, data;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\ELSEWHERE.BOT";
  p.StationCount = 50;
  demo::HistorySpec h;
  h.Steps = 3;
  const std::string run = demo::WriteSampleRun(runs.path(), "RUN", p, h);
  demo::WriteBoatFile(data / "elsewhere.bot", demo::SampleBoat(4));

  const auto missing = RunCli({"stations", run});
  EXPECT_EQ(missing.code, 0);
  EXPECT_NE(missing.err.find("message: Boat File Not Found!\n"), std::string::npos);

  const auto found = RunCli({"stations", run + ".HVX", "--data-dir", data.path()});
  ASSERT_EQ(found.code, 0) << found.err;
  EXPECT_EQ(found.err, "message: Station count 50 is above 40: 40 stations are used\n");
  const json j = json::parse(found.out);
  EXPECT_EQ(j["StationCount"], 40);
  EXPECT_FALSE(j["Stations"][40].is_null());

  const auto boat = RunCli({"boat", run, "--data-dir", data.path()});
  ASSERT_EQ(boat.code, 0) << boat.err;
  EXPECT_EQ(json::parse(boat.out)["PB"]["HullType"], 4);
}

TEST(HullCommands, FailuresEndTheCommand) {
  TempDir dir;
  const std::string run = WriteRun(dir, demo::SampleBoat(1));
  test_support::TruncateFile(dir / "BOAT.BOT", 10);
  const auto shortBoat = RunCli({"boat", run});
  EXPECT_EQ(shortBoat.code, 1);
  EXPECT_EQ(shortBoat.err, "error: Read beyond end of file: " + (dir / "BOAT.BOT") + "\n");

  std::filesystem::remove(run + ".TTS");
  demo::WriteBoatFile(dir / "BOAT.BOT", demo::SampleBoat(1));
  const auto noHistory = RunCli({"stations", run});
  EXPECT_EQ(noHistory.code, 1);
  EXPECT_EQ(noHistory.err, "message: No file\n" + run + ".TTS\nmessage: Missing KVR file\nerror: Missing KVR file: " + run + ".TTS\n");
}

}  // namespace
}  // namespace hulvex::cli
