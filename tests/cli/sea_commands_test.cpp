#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <sstream>
#include <vector>

#include "cli/run_tool.h"
#include "sea/sea_model.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex::cli {
namespace {
using json = nlohmann::json;
using test::RunCli;
using test_support::TempDir;

std::string WriteRun(const TempDir& dir, const RunParameters& p) {
  const std::string run = dir / "SEA";
  demo::WriteRunParametersFile(run + ".HVX", p);  // the sea needs nothing else of the run
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Expected(const SeaConstants& sea, double xb, double h, double t, double g, double s, double e) {
  NullDiagnostics diag;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", SeaElevation(sea, xb, h, t, {g, s, e}, diag));
  return buf;
}

TEST(SeaCommand, PrintsOneExactElevationPerInputLine) {
  TempDir dir;
  for (int waves : {0, 2, 3, 4}) {
    RunParameters p = demo::SampleRunParameters();
    p.Waves = static_cast<std::int16_t>(waves);
    p.RWvTdelay = 120.0f;
    const std::string run = WriteRun(dir, p);
    NullDiagnostics diag;
    const SeaConstants sea = SeaSetUp(p, diag);
    const auto r = RunCli({"sea", run + ".hvx"}, "0 0 0 0 0 1\n\n12.5\t3 0.25 0.1 2 9\r\n+1e2 -4 1.5 0 0 1\n  7 8 9 0.5 1 20  ");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Lines(r.out), (std::vector<std::string>{Expected(sea, 0, 0, 0, 0, 0, 1), Expected(sea, 12.5, 3, 0.25, 0.1, 2, 9),
                                                        Expected(sea, 100, -4, 1.5, 0, 0, 1), Expected(sea, 7, 8, 9, 0.5, 1, 20)}))
        << "Waves " << waves;
  }
}

TEST(SeaCommand, ReportsMalformedLinesByNumberAndGoesOn) {
  TempDir dir;
  const std::string run = WriteRun(dir, demo::SampleRunParameters());
  const auto r = RunCli({"sea", run}, "1 2 3 0 0 1\n1 2 3 0 0\n1 2 3 0 0 1 7\nx 2 3 0 0 1\n1,5 2 3 0 0 1\n4 5 6 0 0 1\n");
  EXPECT_EQ(r.code, 1);
  const auto out = Lines(r.out);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[1], "nan");
  EXPECT_EQ(out[4], "nan");
  EXPECT_NE(out[5], "nan");
  for (int line : {2, 3, 4, 5})
    EXPECT_NE(r.err.find("message: line " + std::to_string(line) + " of the input"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("line 1 "), std::string::npos);
  EXPECT_EQ(r.err.find("line 6 "), std::string::npos);
}

TEST(SeaCommand, RefusedSettingsAreReportedAndTheSeaIsFlat) {
  TempDir dir;
  RunParameters p = demo::SampleRunParameters();
  p.WvSteep = 0;
  const auto r = RunCli({"sea", WriteRun(dir, p)}, "3 1 0.5 0 0 1\n3 6 0.5 0.5 2 8\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("message: Sea refused, drawn flat: WvSteep = 0 "), std::string::npos) << r.err;
  const auto out = Lines(r.out);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], "0");
  EXPECT_EQ(std::stod(out[1]), LocalSurfaceTerm(6, {0.5, 2, 8}));
}

TEST(SeaCommand, TablePrintsTheSeaConstants) {
  TempDir dir;
  RunParameters p = demo::SampleRunParameters();
  p.Waves = 4;
  p.StokesN = 3;
  p.HeadSea = false;
  auto r = RunCli({"sea", WriteRun(dir, p), "--table"});
  ASSERT_EQ(r.code, 0) << r.err;
  json j = json::parse(r.out);
  NullDiagnostics diag;
  const SeaConstants stokes = SeaSetUp(p, diag);
  EXPECT_EQ(j["Waves"], 4);
  EXPECT_EQ(j["FlatDrawn"], false);
  EXPECT_EQ(j["DirSign"], -1);
  EXPECT_EQ(j["Celerity"].get<double>(), stokes.Celerity);
  ASSERT_EQ(j["StokesPhase"].size(), 241u);
  ASSERT_EQ(j["StokesZ"].size(), 241u);
  EXPECT_EQ(j["StokesZ"][120].get<double>(), static_cast<double>(stokes.Stokes.StokesZ[120]));
  EXPECT_EQ(j["StokesPhase"][7].get<double>(), static_cast<double>(stokes.Stokes.StokesPhase[7]));

  p.Waves = 0;
  p.RWvN = 7;
  r = RunCli({"sea", WriteRun(dir, p), "--table"});
  ASSERT_EQ(r.code, 0) << r.err;
  j = json::parse(r.out);
  EXPECT_FALSE(j.contains("StokesZ"));
  EXPECT_EQ(j["CompCount"], 7);
  ASSERT_EQ(j["CompOmega"].size(), 7u);
  EXPECT_EQ(j["CompK"][6].get<double>(), SeaSetUp(p, diag).CompK[6]);

  p.Waves = 9;
  r = RunCli({"sea", WriteRun(dir, p), "--table"});
  ASSERT_EQ(r.code, 0) << r.err;
  j = json::parse(r.out);
  EXPECT_EQ(j["Refused"], true);
  EXPECT_EQ(j["CompOmega"].size(), 0u);
  EXPECT_NE(r.err.find("Waves = 9 "), std::string::npos) << r.err;
}

TEST(SeaCommand, MissingRunFailsWithTheFileNamed) {
  TempDir dir;
  const auto r = RunCli({"sea", dir / "NONE"}, "1 2 3 0 0 1\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("error: File not found"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace hulvex::cli
