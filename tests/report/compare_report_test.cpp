#include "report/compare_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/error.h"
#include "support/run_builder.h"

namespace hulvex {
namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();

// A planing run of `steps` steps 0.01 s apart from `start` s.
std::string PlaningRun(const test_support::TempDir& dir, const std::string& name, int steps, double start) {
  test_support::RunBuilder run = test_support::RunBuilder::Named(name);
  run.Steps(steps);
  const auto planing = demo::SteadyPlaning(0.01, 40.0, 3.0);
  run.History.values = [planing, start](std::int32_t s, std::span<float> ch) { return start + planing(s, ch); };
  return run.Write(dir);
}

TEST(CompareRunFiles, ComparesOverTheSharedTimeOrNamesEveryRunThatFails) {
  test_support::TempDir dir;
  const std::string a = PlaningRun(dir, "A", 500, 0.0), b = PlaningRun(dir, "B", 500, 2.0);
  const StatisticsRequest whole{-kInf, kInf, {kChHeight, kChPitch}};
  std::vector<std::string> failures;
  const auto failed = [&](const std::string& f) { failures.push_back(f); };
  CollectingDiagnostics diag;

  const std::optional<Comparison> c = CompareRunFiles({a, b}, whole, diag, failed);
  ASSERT_TRUE(c.has_value());
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(c->From, 2.0);  // B's first step
  EXPECT_DOUBLE_EQ(c->To, 4.99);  // A's last step
  ASSERT_EQ(c->Runs.size(), 2u);
  EXPECT_EQ(c->Differences.size(), ComparedFigureNames(c->Channels).size());
  // Each run's figures are those of its own statistics over the chosen window.
  const StatisticsRequest window{c->From, c->To, whole.Channels};
  EXPECT_EQ(FigureValue(*c->Runs[1].Figures, "Channels[3].Rms"),
            FigureValue(*StatisticsOfRunFile(b, window).Figures, "Channels[3].Rms"));

  // Two runs that cannot be read are both named, in order, and nothing is compared.
  EXPECT_FALSE(CompareRunFiles({a, dir / "MISSING", b, dir / "GONE"}, whole, diag, failed).has_value());
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].rfind(dir / "MISSING: ", 0), 0u) << failures[0];
  EXPECT_EQ(failures[1].rfind(dir / "GONE: ", 0), 0u) << failures[1];

  // Runs that share no time, or a window outside what they share, are an error of the whole call.
  const std::string late = PlaningRun(dir, "LATE", 100, 10.0);
  EXPECT_THROW(CompareRunFiles({a, late}, whole, diag, failed), Error);
  EXPECT_THROW(CompareRunFiles({a, b}, {4.5, 1.0, whole.Channels}, diag, failed), Error);
}

TEST(CompareReport, CommonSpanIsTheTimeEveryRunCovers) {
  struct Case {
    const char* name;
    std::vector<TimeSpan> spans;
    std::optional<std::pair<double, double>> common;
  };
  const Case cases[] = {
      {"no run", {}, std::nullopt},
      {"one run", {{1, 4}}, std::pair{1.0, 4.0}},
      {"latest start, earliest end", {{0, 20}, {3, 25}, {1, 18}}, std::pair{3.0, 18.0}},
      {"one contains the others", {{-5, 50}, {2, 3}}, std::pair{2.0, 3.0}},
      {"touching at one instant", {{0, 10}, {10, 12}}, std::pair{10.0, 10.0}},
      {"apart", {{0, 10}, {10.01, 12}}, std::nullopt},
      {"a run of one step outside", {{0, 10}, {11, 11}}, std::nullopt},
  };
  for (const Case& c : cases) {
    const std::optional<TimeSpan> got = CommonSpan(c.spans);
    ASSERT_EQ(got.has_value(), c.common.has_value()) << c.name;
    if (got) {
      EXPECT_EQ(got->First, c.common->first) << c.name;
      EXPECT_EQ(got->Last, c.common->second) << c.name;
    }
  }
}

TEST(CompareReport, PercentIsOfTheReferencesSizeAndAbsentWithoutABase) {
  const std::optional<double> none;
  struct Case {
    std::optional<double> reference, value, percent;
  };
  const Case cases[] = {
      {2, 3, 50},       {2, 1, -50},   {-2, -1, 50},  {-2, -3, -50}, {4, 4, 0},
      {0, 1, none},     {0, 0, none},  {-0.0, 1, none}, {none, 1, none}, {1, none, none},
      {1e-300, 2e-300, 100},
  };
  for (const Case& c : cases) {
    const std::optional<double> got = PercentDifference(c.reference, c.value);
    ASSERT_EQ(got.has_value(), c.percent.has_value()) << c.reference.value_or(NAN) << " " << c.value.value_or(NAN);
    if (got) {
      EXPECT_DOUBLE_EQ(*got, *c.percent);
    }
  }
}

TEST(CompareReport, FiguresAreNamedByChannelNumberAndAbsentWhereARunLacksThem) {
  const std::vector<std::string> names = ComparedFigureNames({7, 2});
  ASSERT_EQ(names.size(), 2 * 5 + 6 + 5 + 2 + 3u);
  EXPECT_EQ(names[0], "Channels[7].Mean");
  EXPECT_EQ(names[9], "Channels[2].Rms");
  EXPECT_EQ(names[10], "Impacts.PeakCount");
  EXPECT_EQ(names[16], "Extremes.PredictedA1_3");
  EXPECT_EQ(names[20], "Extremes.MostProbableLargest");
  EXPECT_EQ(names[21], "Motions[0].SignificantDoubleAmplitude");
  EXPECT_EQ(names[22], "Motions[3].SignificantDoubleAmplitude");
  EXPECT_EQ(names.back(), "Iso2631.Mtvv");

  // Channel 7 computed over two steps; channel 2 a row without figures; no blocks.
  WindowStatistics w;
  analysis::ChannelStatistics speed{};
  speed.Count = 2;
  speed.Mean = 40;
  speed.Rms = 41;
  w.Channels.emplace_back(7, analysis::Maybe<analysis::ChannelStatistics>::Of(speed));
  w.Channels.emplace_back(2, analysis::Maybe<analysis::ChannelStatistics>::Missing("channel 2 is not held"));
  w.Impacts = analysis::Maybe<analysis::ImpactStatistics>::Missing("empty");
  w.Iso = analysis::Maybe<analysis::IsoFigures>::Missing("empty");
  for (int c : kMotionChannels) w.Motions.emplace_back(c, analysis::Maybe<analysis::MotionStatistics>::Missing("empty"));
  EXPECT_EQ(FigureValue(w, "Channels[7].Mean"), 40.0);
  EXPECT_EQ(FigureValue(w, "Channels[7].Rms"), 41.0);
  for (const char* absent : {"Channels[2].Mean", "Channels[0].Mean", "Impacts.PeakCount", "Motions[3].SignificantDoubleAmplitude",
                             "Iso2631.Vdv", "Channels[7].Count", "Nothing"}) {
    EXPECT_EQ(FigureValue(w, absent), std::nullopt) << absent;
  }

  RunStatistics reference{"A", w, 1, "", {}}, failed{"B", std::nullopt, 0, "File not found", {}};
  const std::vector<FigureDifference> d = CompareFigures(reference, {reference, failed}, {7});
  ASSERT_EQ(d.size(), 2 * (5 + 6 + 5 + 2 + 3u));
  EXPECT_EQ(d[0].Run, "A");
  EXPECT_EQ(d[0].Difference, 0.0);
  EXPECT_EQ(d[0].Percent, 0.0);
  EXPECT_EQ(d[21].Run, "B");
  EXPECT_EQ(d[21].Figure, "Channels[7].Mean");
  EXPECT_EQ(d[21].Reference, 40.0);
  EXPECT_EQ(d[21].Value, std::nullopt);
  EXPECT_EQ(d[21].Difference, std::nullopt);
}

}  // namespace
}  // namespace hulvex
