#include "spline/spline_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "demo/boat_writer.h"
#include "hull/hull_setup.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace hulvex {
namespace {
using demo::FormatSplineText;
using demo::SampleSplineTable;
using demo::SplineTable;
using demo::SplineTextOptions;
using test_support::TempDir;

constexpr SplineLayout kLayouts[] = {SplineLayout::PlainChine, SplineLayout::InnerChine, SplineLayout::ChineAngle,
                                     SplineLayout::SlopeFactor};

// Loads `text` as a file of `layout` into `store` and `pb`.
struct Loaded {
  bool ok;
  std::vector<std::string> messages;
};
Loaded Load(SplineLayout layout, const std::string& text, SplineStore& store, BoatRecord& pb) {
  CollectingDiagnostics diag;
  const bool ok = StoreSplineTable(layout, ReadSplineText(text, NumbersPerRow(layout)), "HULL.SPL", store, diag);
  if (ok && layout != SplineLayout::SlopeFactor) ApplySplineDimensions(pb, DeriveHullDimensions(layout, store));
  return {ok, diag.messages};
}

TEST(ReadSplineText, FormatRules) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::vector<float>> rows;
    bool lastFromBlanks;
  } cases[] = {
      {"plain", "1 2 3\r\n4 5 6\r\n", {{1, 2, 3}, {4, 5, 6}}, false},
      {"no final line end", "1 2 3\r\n4 5 6", {{1, 2, 3}, {4, 5, 6}}, false},
      {"comment after the numbers", "1 2 3 keel 9\r\n4 5 6 ; x\r\n", {{1, 2, 3}, {4, 5, 6}}, false},
      {"row over two lines", "1 2\r\n3\r\n4\t5 6\r\n", {{1, 2, 3}, {4, 5, 6}}, false},
      {"blank lines between rows", "1 2 3\r\n\r\n\r\n4 5 6\r\n", {{1, 2, 3}, {4, 5, 6}}, false},
      {"one trailing blank line", "1 2 3\r\n\r\n", {{1, 2, 3}, {0, 0, 0}}, true},
      {"several trailing blank lines", "1 2 3\r\n\r\n\r\n\r\n", {{1, 2, 3}, {0, 0, 0}}, true},
      {"trailing blanks", "1 2 3\r\n   ", {{1, 2, 3}, {0, 0, 0}}, true},
      {"short last row", "1 2 3\r\n4", {{1, 2, 3}, {4, 0, 0}}, false},
      {"lone LF is no line end", "1 2 3 x\n4 5 6\n7 8 9\r\n1 1 1\r\n", {{1, 2, 3}, {1, 1, 1}}, false},
      {"code 26 ends the text", "1 2 3\r\n\x1A" "4 5 6\r\n", {{1, 2, 3}}, false},
      {"code 26 mid-row", "1 2 3\r\n4 5\x1A 6\r\n", {{1, 2, 3}, {4, 5, 0}}, false},
      {"number forms", "-1.5 +2. .25E1\r\n1e-3 3E+2 -0\r\n", {{-1.5f, 2, 2.5f}, {1e-3f, 300, 0}}, false},
      {"control characters separate", "1\x01" "2\x1F" "3\r\n", {{1, 2, 3}}, false},
      {"empty text", "", {}, false},
  };
  for (const Case& c : cases) {
    const SplineText t = ReadSplineText(c.text, 3);
    EXPECT_TRUE(t.Problem.empty()) << c.name << ": " << t.Problem;
    EXPECT_EQ(t.Rows, c.rows) << c.name;
    if (!c.rows.empty()) {
      EXPECT_EQ(t.LastRowFromBlanks, c.lastFromBlanks) << c.name;
    }
  }
}

TEST(ReadSplineText, RefusesBadNumbersAndTooManyRows) {
  struct Case {
    std::string text;
    std::string problem;
  } cases[] = {
      {"1 2 3\r\n4 5a 6\r\n", "Invalid numeric input \"5a\" on line 2"},
      {"1 2 3\r\n\r\n4 O 6\r\n", "Invalid numeric input \"O\" on line 3"},
      {"1,5 2 3\r\n", "Invalid numeric input \"1,5\" on line 1"},
      {"1 2 3e\r\n", "Invalid numeric input \"3e\" on line 1"},
      {"1 . 3\r\n", "Invalid numeric input \".\" on line 1"},
      {"1 nan 3\r\n", "Invalid numeric input \"nan\" on line 1"},
      {"1 1e39 3\r\n", "Invalid numeric input \"1e39\" on line 1"},
      {"1 1e999 3\r\n", "Invalid numeric input \"1e999\" on line 1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadSplineText(c.text, 3).Problem, c.problem) << c.text;
  EXPECT_EQ(ReadSplineText("1 1e-999 3\r\n", 3).Rows, (std::vector<std::vector<float>>{{1, 0, 3}}));

  std::string thirty, thirtyOne;
  for (int i = 0; i < 30; ++i) thirty += std::to_string(i) + " 0 0\r\n";
  thirtyOne = thirty + "31 0 0\r\n";
  EXPECT_TRUE(ReadSplineText(thirty, 3).Problem.empty());
  EXPECT_EQ(ReadSplineText(thirtyOne, 3).Problem, "more than 30 rows");
  EXPECT_EQ(ReadSplineText(thirty + "\r\n", 3).Problem, "more than 30 rows");  // the zero row is the 31st
}

TEST(StoreSplineTable, RowCountingKnotSetsAndLength) {
  struct Case {
    SplineLayout layout;
    int lastRow, gunwaleKnots, bottomKnots, innerKnots;
  } cases[] = {
      {SplineLayout::PlainChine, 10, 12, 11, 0},
      {SplineLayout::InnerChine, 10, 12, 11, 10},
      {SplineLayout::ChineAngle, 10, 12, 11, 0},
      {SplineLayout::SlopeFactor, 11, 0, 12, 0},
  };
  for (const Case& c : cases) {
    const SplineTable table = SampleSplineTable(c.layout, 12);
    SplineStore store;
    BoatRecord pb;
    const Loaded r = Load(c.layout, FormatSplineText(table), store, pb);
    ASSERT_TRUE(r.ok) << (r.messages.empty() ? "" : r.messages[0]);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(store.LastRow, c.lastRow);
    EXPECT_EQ(store.GunwaleKnots.Count, c.gunwaleKnots);
    EXPECT_EQ(store.BottomKnots.Count, c.bottomKnots);
    EXPECT_EQ(store.InnerKnots.Count, c.innerKnots);
    const int firstRow = c.layout == SplineLayout::SlopeFactor ? 0 : -1;
    for (int i = 0; i < 12; ++i) EXPECT_EQ(store.StationX[firstRow + i], static_cast<float>(table.Rows[i][0]));
    EXPECT_EQ(store.BottomKnots.Knots[0], static_cast<float>(table.Rows[-firstRow][0]));
    if (c.layout == SplineLayout::SlopeFactor) {
      EXPECT_EQ(pb.Length, 0.0f);  // the slope-factor file sets no boat field
    } else {
      EXPECT_EQ(pb.Length, static_cast<float>(table.Rows[11][0]));
      EXPECT_EQ(store.GunwaleKnots.Knots[0], table.Rows[0][0]);
    }
    if (c.layout == SplineLayout::InnerChine) {
      EXPECT_EQ(store.StemEndX, static_cast<float>(table.Rows[2][0]));
      EXPECT_EQ(store.InnerKnots.Knots[0], table.Rows[2][0]);
    }
  }
}

TEST(StoreSplineTable, MultiLineRowsCommentsAndBlankLinesLoadTheSameTable) {
  for (SplineLayout layout : kLayouts) {
    const SplineTable table = SampleSplineTable(layout, 9);
    SplineStore plain, odd;
    BoatRecord pb1, pb2;
    ASSERT_TRUE(Load(layout, FormatSplineText(table), plain, pb1).ok);
    SplineTextOptions o;
    o.NumbersPerLine = 2;
    o.Comment = " 99 extra numbers; comment";
    o.BlankLinesBetweenRows = 2;
    o.Separator = " \t";
    o.EndWithCode26 = true;
    o.AfterCode26 = "garbage 1 2 3\r\n";
    ASSERT_TRUE(Load(layout, FormatSplineText(table, o), odd, pb2).ok);
    EXPECT_EQ(odd.LastRow, plain.LastRow);
    EXPECT_EQ(odd.StationX.Rows, plain.StationX.Rows);
    EXPECT_EQ(odd.KeelSlopeCurve.Values.Rows, plain.KeelSlopeCurve.Values.Rows);
    EXPECT_EQ(odd.ChineSlopeCurve.Values.Rows, plain.ChineSlopeCurve.Values.Rows);
    EXPECT_EQ(odd.GunwaleCurve.Values.Rows, plain.GunwaleCurve.Values.Rows);
    EXPECT_EQ(pb2.Length, pb1.Length);
  }
}

TEST(StoreSplineTable, BadFilesAreRejectedWholeAndNameTheProblem) {
  struct Case {
    const char* name;
    SplineLayout layout;
    int rows;
    SplineTextOptions options;
    std::string message;
  };
  SplineTextOptions letters;
  letters.Replace = SplineTextOptions::Replacement{4, 2, "1.2x5"};
  SplineTextOptions trailing;
  trailing.TrailingBlankLines = 3;
  SplineTextOptions lf;
  lf.LineEnd = "\n";
  SplineTextOptions backwards;
  backwards.Replace = SplineTextOptions::Replacement{5, 0, "0.5"};
  const std::string prefix = "Spline file HULL.SPL rejected: ";
  const Case cases[] = {
      {"too many rows", SplineLayout::PlainChine, 31, {}, prefix + "more than 30 rows"},
      {"too many slope rows", SplineLayout::SlopeFactor, 31, {}, prefix + "more than 30 rows"},
      {"plain too short", SplineLayout::PlainChine, 4, {}, prefix + "4 rows, fewer than the 5 this layout needs"},
      {"inner too short", SplineLayout::InnerChine, 5, {}, prefix + "5 rows, fewer than the 6 this layout needs"},
      {"angle too short", SplineLayout::ChineAngle, 4, {}, prefix + "4 rows, fewer than the 5 this layout needs"},
      {"slope too short", SplineLayout::SlopeFactor, 3, {}, prefix + "3 rows, fewer than the 4 this layout needs"},
      {"letters", SplineLayout::PlainChine, 12, letters, prefix + "Invalid numeric input \"1.2x5\" on line 5"},
      {"lone LF", SplineLayout::PlainChine, 12, lf, prefix + "1 rows, fewer than the 5 this layout needs"},
      {"stations backwards", SplineLayout::InnerChine, 12, backwards,
       prefix + "the stations do not increase strictly at row 4 (line 6)"},
      {"trailing blank lines", SplineLayout::PlainChine, 12, trailing,
       prefix +
           "the stations do not increase strictly at row 11 (line 13); blank lines after the last row read as a row "
           "of zeros"},
  };
  for (const Case& c : cases) {
    // A good load first: the bad one must not change any of it.
    SplineStore store;
    BoatRecord pb;
    ASSERT_TRUE(Load(c.layout, FormatSplineText(SampleSplineTable(c.layout, 7)), store, pb).ok);
    const SplineStore before = store;
    const BoatRecord pbBefore = pb;
    const Loaded r = Load(c.layout, FormatSplineText(SampleSplineTable(c.layout, c.rows), c.options), store, pb);
    EXPECT_FALSE(r.ok) << c.name;
    EXPECT_EQ(r.messages, std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(store.StationX.Rows, before.StationX.Rows) << c.name;
    EXPECT_EQ(store.LastRow, before.LastRow) << c.name;
    EXPECT_EQ(store.BottomKnots.Count, before.BottomKnots.Count) << c.name;
    EXPECT_EQ(store.KeelSlopeCurve.Values.Rows, before.KeelSlopeCurve.Values.Rows) << c.name;
    EXPECT_EQ(store.KeelSlopeCurve.Coefs[2].D1, before.KeelSlopeCurve.Coefs[2].D1) << c.name;
    EXPECT_EQ(pb.Length, pbBefore.Length) << c.name;
    EXPECT_EQ(pb.Beam, pbBefore.Beam) << c.name;
  }
}

TEST(StoreSplineTable, BoatFieldsFromTheHullLines) {
  for (SplineLayout layout : {SplineLayout::PlainChine, SplineLayout::InnerChine, SplineLayout::ChineAngle}) {
    const SplineTable table = SampleSplineTable(layout, 12);
    BoatRecord pb = demo::SampleBoat(1);
    const BoatRecord original = pb;
    SplineStore store;
    ASSERT_TRUE(Load(layout, FormatSplineText(table), store, pb).ok);
    const int beamAt = layout == SplineLayout::PlainChine ? 2 : 4;
    const int gunwaleAt = layout == SplineLayout::PlainChine ? 4 : 6;
    const int sheerAt = gunwaleAt + 1;
    int jmax = 1;  // rows[1] is row 0
    for (int i = 1; i < 12; ++i)
      if (table.Rows[i][beamAt] > table.Rows[jmax][beamAt]) jmax = i;
    const float z0 = static_cast<float>(table.Rows[1][1]);
    EXPECT_EQ(pb.Beam, 2 * static_cast<float>(table.Rows[jmax][beamAt]));
    EXPECT_EQ(pb.KeelDepth, z0);
    EXPECT_EQ(pb.ForeLength, static_cast<float>(table.Rows[jmax][0]));
    EXPECT_EQ(pb.StemRake, -static_cast<float>(table.Rows[0][0]));
    EXPECT_EQ(pb.GunwaleBeam, 2 * static_cast<float>(table.Rows[jmax][gunwaleAt]));
    EXPECT_EQ(pb.SheerStem, static_cast<float>(table.Rows[0][sheerAt]) - z0);
    if (layout == SplineLayout::PlainChine) {
      EXPECT_EQ(pb.TransomBeam, 2 * static_cast<float>(table.Rows[11][beamAt]));
      EXPECT_EQ(pb.SheerTransom, static_cast<float>(table.Rows[11][sheerAt]) - z0);
      EXPECT_EQ(pb.TransomFlare, static_cast<float>(table.Rows[11][gunwaleAt]) - static_cast<float>(table.Rows[11][beamAt]));
    } else {
      EXPECT_EQ(pb.TransomBeam, original.TransomBeam);
      EXPECT_EQ(pb.SheerTransom, original.SheerTransom);
      EXPECT_EQ(pb.TransomFlare, original.TransomFlare);
    }
    EXPECT_EQ(pb.LCG, original.LCG);  // fields the lines do not set stay
  }
}

TEST(StoreSplineTable, JmaxTakesTheFirstLargestBeamOrTheLastRowWhenNoneIsPositive) {
  SplineTable table = SampleSplineTable(SplineLayout::PlainChine, 8);
  for (auto& row : table.Rows) row[2] = 1.0;
  table.Rows[3][2] = 3.0;  // row 2
  table.Rows[5][2] = 3.0;  // row 4: equal, not above
  SplineStore store;
  BoatRecord pb;
  ASSERT_TRUE(Load(SplineLayout::PlainChine, FormatSplineText(table), store, pb).ok);
  EXPECT_EQ(pb.ForeLength, static_cast<float>(table.Rows[3][0]));
  EXPECT_EQ(pb.Beam, 6.0f);

  for (auto& row : table.Rows) row[2] = 0.0;
  table.Rows[2][2] = -1.0;
  ASSERT_TRUE(Load(SplineLayout::PlainChine, FormatSplineText(table), store, pb).ok);
  EXPECT_EQ(pb.Beam, 0.0f);
  EXPECT_EQ(pb.ForeLength, pb.Length);
  EXPECT_EQ(pb.GunwaleBeam, 2 * static_cast<float>(table.Rows[7][4]));
}

TEST(StoreSplineTable, ChineHeightOfRowZeroIsTheKeelHeight) {
  for (SplineLayout layout : {SplineLayout::PlainChine, SplineLayout::InnerChine}) {
    SplineTable table = SampleSplineTable(layout, 10);
    const int chineHeightAt = layout == SplineLayout::PlainChine ? 3 : 5;
    SplineStore a, b;
    BoatRecord pa, pbb;
    ASSERT_TRUE(Load(layout, FormatSplineText(table), a, pa).ok);
    table.Rows[1][chineHeightAt] = 123.0;
    ASSERT_TRUE(Load(layout, FormatSplineText(table), b, pbb).ok);
    EXPECT_EQ(b.ChineHeightCurve.Values[0], b.KeelCurve.Values[0]);
    EXPECT_EQ(b.ChineHeightCurve.Values.Rows, a.ChineHeightCurve.Values.Rows);
    EXPECT_EQ(b.ChineHeightCurve.Coefs[3].D1, a.ChineHeightCurve.Coefs[3].D1);
  }
}

TEST(StoreSplineTable, ALoadLeavesWhatItsLayoutDoesNotHandle) {
  SplineStore store;
  BoatRecord pb;
  ASSERT_TRUE(Load(SplineLayout::InnerChine, FormatSplineText(SampleSplineTable(SplineLayout::InnerChine, 10)), store, pb).ok);
  const SplineStore inner = store;
  ASSERT_TRUE(Load(SplineLayout::SlopeFactor, FormatSplineText(SampleSplineTable(SplineLayout::SlopeFactor, 6)), store, pb).ok);
  EXPECT_EQ(store.GunwaleKnots.Count, inner.GunwaleKnots.Count);
  EXPECT_EQ(store.InnerKnots.Count, inner.InnerKnots.Count);
  EXPECT_EQ(store.StemEndX, inner.StemEndX);
  EXPECT_EQ(store.StationX[-1], inner.StationX[-1]);
  EXPECT_EQ(store.GunwaleCurve.Values.Rows, inner.GunwaleCurve.Values.Rows);
  EXPECT_EQ(store.InnerBeamCurve.Coefs[2].D1, inner.InnerBeamCurve.Coefs[2].D1);
  EXPECT_EQ(store.BottomKnots.Count, 6);
  EXPECT_EQ(store.LastRow, 5);
}

TEST(FindSplineFile, RunDirectoryThenEachDataDirectoryExactThenAnyCase) {
  TempDir run, data, shared;
  std::filesystem::create_directories(run / "lines");
  demo::WriteTextFile(data / "HULL.SPL", "data");
  demo::WriteTextFile(data / "Only.Here", "data");
  demo::WriteTextFile(run / "HULL.SPL", "run");
  demo::WriteTextFile(run / "lines/deep.spl", "deep");
  demo::WriteTextFile(data / "deep.spl", "data deep");
  demo::WriteTextFile(shared / "ONLY.HERE", "shared");
  demo::WriteTextFile(shared / "Shared.Spl", "shared");
  auto find = [&](const std::string& name, const std::string& dataDir) {
    return FindSplineFile(SplineFileSource{name, "B", run.path(), {dataDir, shared.path()}}).value_or("none");
  };
  EXPECT_EQ(find("HULL.SPL", data.path()), run / "HULL.SPL");
  EXPECT_EQ(find("hull.spl", data.path()), run / "HULL.SPL");
  EXPECT_EQ(find("only.here", data.path()), data / "Only.Here");
  EXPECT_EQ(find("only.here", ""), shared / "ONLY.HERE");
  EXPECT_EQ(find("C:\\HULLS\\SHARED.SPL", data.path()), shared / "Shared.Spl");
  EXPECT_EQ(find("lines/deep.spl", data.path()), run / "lines/deep.spl");
  EXPECT_EQ(find("C:\\HULLS\\Only.HERE", data.path()), data / "Only.Here");
  EXPECT_EQ(find("/no/such/dir/hull.spl", data.path()), run / "HULL.SPL");
  EXPECT_EQ(find(data / "deep.spl", ""), data / "deep.spl");
  EXPECT_EQ(find("", data.path()), "none");
  EXPECT_EQ(find("missing.spl", data.path()), "none");
  EXPECT_EQ(FindSplineFile(SplineFileSource{"Only.Here", "B", run.path(), {}}).value_or("none"), "none");
}

TEST(LoadSplineFiles, MissingFileNamesTheBoatFileAndChangesNothing) {
  TempDir dir;
  SplineStore store;
  BoatRecord pb = demo::SampleBoat(1);
  const BoatRecord before = pb;
  for (const std::string name : {"MISSING.SPL", ""}) {
    const SplineFileSource source{name, "C:\\BOATS\\RUNABOUT.BOT", dir.path(), {}};
    CollectingDiagnostics diag;
    EXPECT_FALSE(LoadHullLines(SplineLayout::PlainChine, store, pb, source, diag));
    EXPECT_FALSE(LoadHullLines(SplineLayout::InnerChine, store, pb, source, diag));
    EXPECT_FALSE(LoadHullLines(SplineLayout::ChineAngle, store, pb, source, diag));
    EXPECT_FALSE(LoadSplineFile(SplineLayout::SlopeFactor, store, source, diag));
    EXPECT_EQ(diag.messages, std::vector<std::string>(4, "No Spline File for=C:\\BOATS\\RUNABOUT.BOT"));
  }
  EXPECT_EQ(store.LastRow, 0);
  EXPECT_EQ(store.BottomKnots.Count, 0);
  EXPECT_EQ(pb.Length, before.Length);
}

TEST(LoadSplineFiles, EachLoaderReadsItsLayoutFromDisk) {
  TempDir dir;
  for (SplineLayout layout : kLayouts) {
    demo::WriteSplineFile(dir / "lines.spl", SampleSplineTable(layout, 14));
    SplineStore store;
    BoatRecord pb;
    CollectingDiagnostics diag;
    const SplineFileSource source{"LINES.SPL", "B.BOT", dir.path(), {}};
    EXPECT_TRUE(LoadSplineFile(layout, store, source, diag));
    EXPECT_TRUE(diag.messages.empty());
    EXPECT_EQ(store.BottomKnots.Count, 13 + (layout == SplineLayout::SlopeFactor ? 1 : 0));
  }
}

}  // namespace
}  // namespace hulvex
