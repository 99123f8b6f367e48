#include "sea/stokes_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "demo/run_writers.h"

namespace hulvex {
namespace {

constexpr double kPi = std::numbers::pi;

RunParameters Stokes(int terms, float steepness = 0.05f, bool headSea = true) {
  RunParameters p = demo::SampleRunParameters();
  p.Waves = 4;
  p.StokesN = static_cast<std::int16_t>(terms);
  p.WvSteep = steepness;
  p.HeadSea = headSea;
  return p;
}

SeaConstants Build(const RunParameters& p, double waveLength = 40.0) {
  SeaConstants sea;
  sea.WaveLength = waveLength;
  BuildStokesTable(p, sea);
  return sea;
}

TEST(StokesTable, OneTermIsAPlainCosineWithTroughsAtTheEndsAndTheCrestInTheMiddle) {
  const double lambda = 40.0, steep = static_cast<double>(0.05f);
  const SeaConstants sea = Build(Stokes(1), lambda);
  const auto& z = sea.Stokes.StokesZ;
  const auto& ph = sea.Stokes.StokesPhase;
  const double a = steep * lambda / 2;  // half the wave height
  EXPECT_EQ(std::min_element(z.begin(), z.end()) - z.begin(), 0);
  EXPECT_EQ(std::max_element(z.begin(), z.end()) - z.begin(), 120);
  EXPECT_EQ(z[0], z[240]);
  EXPECT_NEAR(z[120], a, 1e-6);
  EXPECT_NEAR(z[0], -a, 1e-6);
  for (int i = 0; i < kStokesPoints; ++i) {
    EXPECT_NEAR(ph[i], i / 240.0, 1e-7) << i;
    EXPECT_NEAR(z[i], -a * std::cos(2 * kPi * i / 240.0), 1e-6) << i;
  }
  EXPECT_NEAR(sea.Celerity, std::sqrt(32.18 * lambda / (2 * kPi)), 1e-9);
}

TEST(StokesTable, FollowingSeasGiveTheSameTableAndANegativeCelerity) {
  for (int terms : {1, 2, 5, 9}) {
    const SeaConstants head = Build(Stokes(terms, 0.08f, true));
    const SeaConstants follow = Build(Stokes(terms, 0.08f, false));
    EXPECT_EQ(head.Stokes.StokesPhase, follow.Stokes.StokesPhase) << terms;
    EXPECT_EQ(head.Stokes.StokesZ, follow.Stokes.StokesZ) << terms;
    EXPECT_GT(head.Celerity, 0);
    EXPECT_EQ(follow.Celerity, -head.Celerity);
  }
}

TEST(StokesTable, SmallSteepnessTendsToTheOneTermTable) {
  const SeaConstants one = Build(Stokes(1, 1e-4f));
  const SeaConstants nine = Build(Stokes(9, 1e-4f));
  const double a = 1e-4 * 40.0 / 2;
  for (int i = 0; i < kStokesPoints; ++i) {
    EXPECT_NEAR(nine.Stokes.StokesZ[i], one.Stokes.StokesZ[i], a * 1e-3) << i;
    EXPECT_NEAR(nine.Stokes.StokesPhase[i], one.Stokes.StokesPhase[i], 1e-4) << i;
  }
  EXPECT_NEAR(nine.Celerity, one.Celerity, one.Celerity * 1e-6);
}

// Stokes waves: sharper crests, flatter troughs, the crest-to-trough height still the wave's, and
// a speed raised by the steepness (c^2 = g/k (1 + (ka)^2) to second order).
TEST(StokesTable, SteepWavesHavePeakedCrestsAndRunFaster) {
  const float steep = 0.08f;
  const double lambda = 40.0, height = lambda * steep;
  const SeaConstants sea = Build(Stokes(5, steep), lambda);
  const auto& z = sea.Stokes.StokesZ;
  const double crest = *std::max_element(z.begin(), z.end());
  const double trough = *std::min_element(z.begin(), z.end());
  EXPECT_GT(crest, -trough * 1.1);
  EXPECT_NEAR(crest - trough, height, height * 0.01);
  const double ka = kPi * steep;
  const double c2 = 32.18 * lambda / (2 * kPi) * (1 + ka * ka);
  EXPECT_NEAR(sea.Celerity * sea.Celerity, c2, c2 * ka * ka * ka * ka);
  for (int i = 1; i < kStokesPoints; ++i) EXPECT_GT(sea.Stokes.StokesPhase[i], sea.Stokes.StokesPhase[i - 1]);
}

// Reference values evaluated separately (double precision, rounded to single) from the series
// coefficients, for nine terms at steepness 0.1 and a wave length of 40 ft.
TEST(StokesTable, NineTermsAtSteepnessOneTenthMatchTheSeries) {
  const SeaConstants sea = Build(Stokes(9, 0.1f), 40.0);
  struct Point {
    int i;
    double z, phase;
  };
  const Point points[] = {{0, -1.35597301, -0.0333365351},
                          {37, -0.989512682, 0.129000902},
                          {60, -0.368399531, 0.240790009},
                          {120, 2.64402699, 0.56553787},
                          {203, -0.989512682, 0.820667565}};
  for (const auto& pt : points) {
    EXPECT_NEAR(sea.Stokes.StokesZ[pt.i], pt.z, 1e-6) << pt.i;
    EXPECT_NEAR(sea.Stokes.StokesPhase[pt.i], pt.phase, 1e-7) << pt.i;
  }
  EXPECT_NEAR(sea.Celerity, 15.037030643958872, 1e-12);
  // The phases are shifted against the index: phase 0 lies several points into the table, and the
  // lookup searches its bracket there.
  const auto& ph = sea.Stokes.StokesPhase;
  const auto& z = sea.Stokes.StokesZ;
  int hi = 1;
  while (ph[hi] < 0) ++hi;
  EXPECT_GT(hi, 2);
  const double f = (0 - ph[hi - 1]) / (static_cast<double>(ph[hi]) - ph[hi - 1]);
  EXPECT_NEAR(StokesLookup(sea.Stokes, 0.0), f * z[hi] + (1 - f) * z[hi - 1], 1e-12);
}

TEST(StokesTable, TermCountsOutsideOneToNineWriteNothing) {
  for (int terms : {0, -1, 10, 32767}) {
    const SeaConstants sea = Build(Stokes(terms));
    EXPECT_EQ(sea.Celerity, 0.0);
    EXPECT_TRUE(std::all_of(sea.Stokes.StokesZ.begin(), sea.Stokes.StokesZ.end(), [](float v) { return v == 0; }));
  }
}

TEST(StokesLookup, FindsTroughAndCrestOfTheOneTermWave) {
  const SeaConstants sea = Build(Stokes(1));
  const double a = static_cast<double>(0.05f) * 40.0 / 2;
  EXPECT_NEAR(StokesLookup(sea.Stokes, 0.0), -a, 1e-6);
  EXPECT_NEAR(StokesLookup(sea.Stokes, 0.5), a, 1e-6);
  for (double p : {1 - 1e-9, std::nextafter(1.0, 0.0)}) EXPECT_NEAR(StokesLookup(sea.Stokes, p), -a, 1e-6);
  for (int i = 0; i < kStokesPoints; ++i)  // a point of the table gives its value
    EXPECT_EQ(StokesLookup(sea.Stokes, sea.Stokes.StokesPhase[i]), sea.Stokes.StokesZ[i]) << i;
}

// Against an independent search: for every p the lookup interpolates in the bracket that holds p,
// wherever the rounded start index lies, and extrapolates from the end points outside.
TEST(StokesLookup, InterpolatesInTheBracketHoldingThePhase) {
  StokesTable t;
  for (int i = 0; i < kStokesPoints; ++i) {
    const double x = i / 240.0;
    t.StokesPhase[i] = static_cast<float>(0.02 + 0.96 * x * x);  // far from i / 240 near the start
    t.StokesZ[i] = static_cast<float>(std::sin(7 * x) + x);
  }
  const auto expected = [&t](double p) {
    const auto& ph = t.StokesPhase;
    int hi = static_cast<int>(std::upper_bound(ph.begin(), ph.end(), p) - ph.begin());
    hi = std::clamp(hi, 1, kStokesPoints - 1);
    const int lo = hi - 1;
    const double f = (p - ph[lo]) / (static_cast<double>(ph[hi]) - ph[lo]);
    return f * t.StokesZ[hi] + (1 - f) * t.StokesZ[lo];
  };
  for (int k = -30; k <= 270; ++k) {
    const double p = k / 240.0 + 0.5 / 240.0 * (k % 2);  // halves of the index step included
    EXPECT_NEAR(StokesLookup(t, p), expected(p), 1e-12) << p;
  }
  for (double p : {-1e6, 1e6, -1e300, 1e300}) EXPECT_TRUE(std::isfinite(StokesLookup(t, p))) << p;
  EXPECT_TRUE(std::isnan(StokesLookup(t, std::numeric_limits<double>::quiet_NaN())));
  EXPECT_TRUE(std::isnan(StokesLookup(t, std::numeric_limits<double>::infinity())));
}

TEST(StokesLookup, SurvivesATableOfNaNs) {
  StokesTable t;
  t.StokesPhase.fill(std::numeric_limits<float>::quiet_NaN());
  for (double p : {0.0, 0.3, 0.999, -2.0, 5.0}) EXPECT_TRUE(std::isnan(StokesLookup(t, p))) << p;
}

}  // namespace
}  // namespace hulvex
