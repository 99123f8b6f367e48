#include "sea/sea_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "demo/run_writers.h"

namespace hulvex {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kGravity = 32.18;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

RunParameters Sea(int waves, float height = 2.0f, float steepness = 0.05f, bool headSea = true) {
  RunParameters p = demo::SampleRunParameters();
  p.Waves = static_cast<std::int16_t>(waves);
  p.WvHHS = height;
  p.WvSteep = steepness;
  p.HeadSea = headSea;
  return p;
}

SeaConstants Prepared(const RunParameters& p) {
  CollectingDiagnostics diag;
  SeaConstants sea = SeaSetUp(p, diag);
  EXPECT_TRUE(diag.messages.empty()) << diag.messages.front();
  return sea;
}

// Elevation without the local surface term.
double Eta(const SeaConstants& sea, double xb, double h, double t) {
  CollectingDiagnostics diag;
  const double eta = SeaElevation(sea, xb, h, t, {0, 0, 1}, diag);
  EXPECT_TRUE(diag.messages.empty()) << diag.messages.front();
  return eta;
}

TEST(SeaElevation, FlatSeaIsZeroEverywhereAndNeedsNoWaveSettings) {
  RunParameters p = Sea(1);
  p.WvSteep = 0;  // meaningless for a wave, harmless for a flat sea
  const SeaConstants sea = Prepared(p);
  EXPECT_FALSE(sea.Refused);
  for (double xb : {-100.0, 0.0, 37.5})
    for (double h : {-3.0, 0.0, 12.0})
      for (double t : {0.0, 1.5, 1e4}) EXPECT_EQ(Eta(sea, xb, h, t), 0.0);
}

TEST(SeaElevation, SinusoidalSeaStartsAtZeroAndPeaksAQuarterPeriodLater) {
  const SeaConstants sea = Prepared(Sea(2));
  EXPECT_EQ(sea.Amp, 1.0);
  EXPECT_EQ(Eta(sea, 7.0, 7.0, 0.0), 0.0);
  EXPECT_NEAR(Eta(sea, 7.0, 7.0, kPi / (2 * sea.Omega)), 1.0, 1e-14);
  EXPECT_NEAR(Eta(sea, 7.0, 7.0, 3 * kPi / (2 * sea.Omega)), -1.0, 1e-14);
  // Deep water: the wave number belongs to the wave length, and the period to both.
  EXPECT_NEAR(sea.WaveNumber * sea.WaveLength, 2 * kPi, 1e-9);
  EXPECT_NEAR(sea.Omega * sea.Omega, kGravity * sea.WaveNumber, 1e-9);
  // Crests run toward decreasing course position at the deep-water speed sqrt(g lambda / 2 pi).
  const double c = std::sqrt(kGravity * sea.WaveLength / (2 * kPi));
  for (double x : {0.0, 4.0, 13.0})
    for (double t : {0.5, 2.0}) EXPECT_NEAR(Eta(sea, x - c * t, 0, t), Eta(sea, x, 0, 0), 1e-9) << x << " " << t;
  // One wave length further along the course the surface repeats.
  for (double d : {0.3, 5.0, 17.0}) EXPECT_NEAR(Eta(sea, d + sea.WaveLength, 0, 0.4), Eta(sea, d, 0, 0.4), 1e-9);
}

// Following seas are head seas seen in a mirror: the course position changes sign (and for the
// Stokes sea, whose speed carries the direction, so does the time).
TEST(SeaElevation, FollowingSeasMirrorTheCourse) {
  for (int waves : {0, 2, 3, 4}) {
    SCOPED_TRACE("Waves " + std::to_string(waves));
    RunParameters head = Sea(waves, 2.0f, 0.05f, true);
    head.RWvTdelay = 0;
    RunParameters follow = head;
    follow.HeadSea = false;
    const SeaConstants h = Prepared(head), f = Prepared(follow);
    EXPECT_EQ(f.DirSign, -1.0f);
    const double tSign = waves == 4 ? -1.0 : 1.0;
    for (double xb : {0.0, 3.7, 25.0, 81.0})
      for (double t : {0.0, 0.8, 3.1}) EXPECT_EQ(Eta(f, xb, 0, t), Eta(h, -xb, 0, tSign * t)) << xb << " " << t;
  }
}

// The Gerstner surface traced forward from the trochoid's parameter, without any solving:
// X = u - a sin(k u), Z = a cos(k u), travelling at the deep-water speed.
TEST(SeaElevation, GerstnerSeaIsTheTrochoidTracedParametrically) {
  for (float steepness : {0.05f, 0.1f, 0.2f}) {  // k a = pi * steepness: both Newton dampings
    SCOPED_TRACE(steepness);
    const double height = 3.0;
    const SeaConstants sea = Prepared(Sea(3, static_cast<float>(height), steepness));
    const double lambda = height / static_cast<double>(steepness);
    const double a = height / 2, k = 2 * kPi / lambda;
    const double c = std::sqrt(kGravity * lambda / (2 * kPi));
    EXPECT_NEAR(sea.Celerity, c, 1e-9);
    for (int i = -20; i <= 20; ++i) {
      const double u = 0.49 * lambda * i / 20;
      const double x = u - a * std::sin(k * u), z = a * std::cos(k * u);
      for (int m : {-3, 0, 2})
        for (double t : {0.0, 1.3}) EXPECT_NEAR(Eta(sea, x + m * lambda - c * t, 0, t), z, 2e-5) << u << " " << m;
    }
  }
}

TEST(SeaElevation, GerstnerSeaOfSmallHeightTendsToACosine) {
  const SeaConstants sea = Prepared(Sea(3, 0.01f, 1e-4f));  // k a = pi * 1e-4
  const double a = sea.Amp, k = 2 * kPi / sea.WaveLength;
  EXPECT_EQ(Eta(sea, 0, 0, 0), a);  // the crest at X0 = 0
  for (double x : {0.5, 10.0, 25.0, 49.0, 77.0, 99.0})
    EXPECT_NEAR(Eta(sea, x, 0, 0), a * std::cos(k * x), a * 4e-4) << x;
}

TEST(SolveTrochoid, ReturnsAtOnceAtTheCrestAndInvertsTheTrochoid) {
  CollectingDiagnostics diag;
  EXPECT_EQ(SolveTrochoid(0.3, 2.0, 0.0, diag), 0.0);
  for (double ka : {0.1, 0.45, 0.55, 0.9}) {
    const double k = 0.25, a = ka / k;
    for (double x0 = -25; x0 <= 25; x0 += 0.7) {
      const double u = SolveTrochoid(k, a, x0, diag);
      EXPECT_NEAR(u - a * std::sin(k * u), x0, 1e-5) << ka << " " << x0;
    }
  }
  EXPECT_TRUE(diag.messages.empty());
}

TEST(SolveTrochoid, ReportsEveryFailureToConvergeThroughTheSink) {
  CollectingDiagnostics diag;
  const double u = SolveTrochoid(2.0, 1.0, -2.7960151, diag);  // beyond breaking: k a = 2
  EXPECT_TRUE(std::isfinite(u));
  SolveTrochoid(2.0, 1.0, -2.7960151, diag);
  EXPECT_EQ(diag.messages, (std::vector<std::string>{"WTROCH NO CONVERGE", "WTROCH NO CONVERGE"}));
}

TEST(SeaElevation, NonFinitePositionGivesNaNWithoutFaultOrMessage) {
  for (int waves : {0, 2, 3, 4}) {
    const SeaConstants sea = Prepared(Sea(waves));
    for (double xb : {kNaN, kInf, -kInf}) EXPECT_TRUE(std::isnan(Eta(sea, xb, 0, 1.0))) << waves << " " << xb;
    EXPECT_TRUE(std::isnan(Eta(sea, 0, 0, kNaN))) << waves;
  }
}

TEST(SeaSetUp, RandomSeaOfOneComponent) {
  RunParameters p = Sea(0, 2.5f, 0.04f);
  p.RWvN = 1;
  p.RWvTdelay = 0;
  const SeaConstants sea = Prepared(p);
  ASSERT_EQ(sea.CompCount, 1);
  EXPECT_NEAR(sea.CompAmp, 2.5 / std::sqrt(8.0), 1e-15);
  const double b = 12775.62 * 0.04 * 0.04;
  const double w = std::pow(4 * b / (2.5 * 2.5 * std::log(2.0)), 0.25);
  EXPECT_NEAR(sea.CompOmega[0], w, 1e-6 * w);  // the steepness is single precision
  EXPECT_NEAR(sea.CompK[0], w * w / kGravity, 1e-5 * w * w / kGravity);
  for (double t : {0.0, 0.7, 4.0})
    for (double xb : {0.0, 11.0})
      EXPECT_NEAR(Eta(sea, xb, 0, t), sea.CompAmp * std::sin(sea.CompOmega[0] * t + sea.CompK[0] * xb), 1e-12);
}

TEST(SeaSetUp, RandomSeaFrequenciesSplitTheSpectrumIntoEqualEnergyShares) {
  const double hs = 3.0, steep = 0.04;
  RunParameters p = Sea(0, static_cast<float>(hs), static_cast<float>(steep));
  p.RWvN = 12;
  const SeaConstants sea = Prepared(p);
  const double beta = 4 * 12775.62 * static_cast<float>(steep) * static_cast<float>(steep) / (hs * hs);
  // Energy of the spectrum omega^-5 exp(-beta omega^-4) below w, by Simpson's rule over log(omega).
  const auto energyBelow = [beta](double w) {
    const double lo = std::log(0.05), hi = std::log(w);
    const int n = 20000;
    const double h = (hi - lo) / n;
    double sum = 0;
    for (int i = 0; i <= n; ++i) {
      const double om = std::exp(lo + i * h);
      const double f = std::pow(om, -4) * std::exp(-beta * std::pow(om, -4));  // S(om) * om
      sum += f * (i == 0 || i == n ? 1 : i % 2 ? 4 : 2);
    }
    return sum * h / 3;
  };
  const double total = energyBelow(2000.0);
  for (int n = 0; n < sea.CompCount; ++n) {
    EXPECT_NEAR(energyBelow(sea.CompOmega[n]) / total, (2.0 * n + 1) / (2 * sea.CompCount), 1e-7) << n;
    if (n > 0) {
      EXPECT_GT(sea.CompOmega[n], sea.CompOmega[n - 1]);
    }
  }
  // Significant height 4 sqrt(m0) of the components is the nominal height.
  EXPECT_NEAR(4 * std::sqrt(sea.CompCount * sea.CompAmp * sea.CompAmp / 2), hs, 1e-12);
}

TEST(SeaElevation, PriorDurationOfTheRandomSeaShiftsTimeOnly) {
  RunParameters p = Sea(0);
  p.RWvN = 40;
  p.RWvTdelay = 0;
  const SeaConstants now = Prepared(p);
  p.RWvTdelay = 300.0f;
  const SeaConstants later = Prepared(p);
  EXPECT_EQ(Eta(now, 5.0, 5.0, 0.0), 0.0);  // every component starts in phase
  EXPECT_NE(Eta(later, 5.0, 5.0, 0.0), 0.0);
  for (double xb : {0.0, 3.5, 40.0})
    for (double t : {0.0, 0.25, 9.0}) EXPECT_EQ(Eta(later, xb, 1.0, t), Eta(now, xb, 1.0, t + 300.0));
}

TEST(SeaElevation, StokesSeaOfOneTermIsACosineTravellingAtTheLinearSpeed) {
  RunParameters p = Sea(4, 2.0f, 0.05f);
  p.StokesN = 1;
  const SeaConstants sea = Prepared(p);
  const double lambda = sea.WaveLength, c = std::sqrt(kGravity * lambda / (2 * kPi));
  EXPECT_NEAR(sea.Celerity, c, 1e-6);
  // Interpolation between 241 points: error below a (2 pi / 240)^2 / 8, plus the pi literal.
  for (double x = -60; x <= 60; x += 1.7)
    for (double t : {0.0, 2.2}) EXPECT_NEAR(Eta(sea, x - c * t, 0, t), -std::cos(2 * kPi * x / lambda), 1e-4) << x;
}

struct LocalCase {
  const char* what;
  double h, gain, start, end;
  double expected;
};

TEST(LocalSurfaceTerm, VanishesWhereItIsUndefinedOrOff) {
  const LocalCase cases[] = {
      {"at Start", 3.0, 5.0, 3.0, 9.0, 0.0},
      {"ahead of Start", 1.0, 5.0, 3.0, 9.0, 0.0},
      {"neutral set", 7.0, 0.0, 0.0, 1.0, 0.0},
      {"End equal to Start", 5.0, 2.0, 3.0, 3.0, 0.0},
      {"overflowing fade-in (End just ahead of Start)", 5.0, 2.0, 0.0, -1e-300, 0.0},
      {"infinite Gain", 5.0, kInf, 3.0, 9.0, 0.0},
      {"NaN Gain", 5.0, kNaN, 3.0, 9.0, 0.0},
      {"NaN Start", 5.0, 2.0, kNaN, 9.0, 0.0},
      {"NaN End", 5.0, 2.0, 3.0, kNaN, 0.0},
      {"NaN H", kNaN, 2.0, 3.0, 9.0, 0.0},
      {"at End", 9.0, 2.0, 3.0, 9.0, (1 - std::exp(-10.0)) * (6.0 - 9.0) * 2.0},
  };
  for (const auto& c : cases) EXPECT_EQ(LocalSurfaceTerm(c.h, {c.gain, c.start, c.end}), c.expected) << c.what;
  for (double h = -5; h <= 50; h += 0.5) EXPECT_EQ(LocalSurfaceTerm(h, {0, 0, 1}), 0.0) << h;
}

TEST(LocalSurfaceTerm, IsAContinuousTiltOfSlopeMinusGainThroughTheMidpoint) {
  const double gain = 0.3, start = 4.0, end = 10.0;
  EXPECT_NE(LocalSurfaceTerm(start + 1e-12, {gain, start, end}), 0.0);
  EXPECT_NEAR(LocalSurfaceTerm(start + 1e-9, {gain, start, end}), 0.0, 1e-8);  // rises from 0 at Start
  for (double h : {60.0, 100.0}) EXPECT_NEAR(LocalSurfaceTerm(h, {gain, start, end}), (7.0 - h) * gain, 1e-9);
  // Added on top of the sea, whatever its kind.
  for (int waves : {1, 2}) {
    const SeaConstants sea = Prepared(Sea(waves));
    CollectingDiagnostics diag;
    EXPECT_NEAR(SeaElevation(sea, 2.0, 8.0, 0.5, {gain, start, end}, diag),
                Eta(sea, 2.0, 8.0, 0.5) + LocalSurfaceTerm(8.0, {gain, start, end}), 1e-15);
  }
}

struct BadCase {
  const char* what;
  int waves;
  void (*spoil)(RunParameters&);
  std::vector<std::string> fields;  // "Field = value" named by the messages, in order
};

TEST(SeaSetUp, RefusesMeaninglessSettingsByNameAndDrawsTheSeaFlat) {
  const BadCase cases[] = {
      {"zero steepness", 2, [](RunParameters& p) { p.WvSteep = 0; }, {"WvSteep = 0"}},
      {"negative steepness", 3, [](RunParameters& p) { p.WvSteep = -0.05f; }, {"WvSteep = -0.05"}},
      {"NaN steepness", 0, [](RunParameters& p) { p.WvSteep = NAN; }, {"WvSteep = nan"}},
      {"infinite steepness", 4, [](RunParameters& p) { p.WvSteep = INFINITY; }, {"WvSteep = inf"}},
      {"negative height", 2, [](RunParameters& p) { p.WvHHS = -2; }, {"WvHHS = -2"}},
      {"NaN height", 3, [](RunParameters& p) { p.WvHHS = NAN; }, {"WvHHS = nan"}},
      {"infinite height", 0, [](RunParameters& p) { p.WvHHS = INFINITY; }, {"WvHHS = inf"}},
      {"both", 4, [](RunParameters& p) { p.WvSteep = 0; p.WvHHS = -1; }, {"WvSteep = 0", "WvHHS = -1"}},
      {"no components", 0, [](RunParameters& p) { p.RWvN = 0; }, {"RWvN = 0"}},
      {"41 components", 0, [](RunParameters& p) { p.RWvN = 41; }, {"RWvN = 41"}},
      {"negative components", 0, [](RunParameters& p) { p.RWvN = -7; }, {"RWvN = -7"}},
      {"infinite prior duration", 0, [](RunParameters& p) { p.RWvTdelay = INFINITY; }, {"RWvTdelay = inf"}},
      {"no Stokes terms", 4, [](RunParameters& p) { p.StokesN = 0; }, {"StokesN = 0"}},
      {"ten Stokes terms", 4, [](RunParameters& p) { p.StokesN = 10; }, {"StokesN = 10"}},
      {"sea kind -1", -1, [](RunParameters&) {}, {"Waves = -1"}},
      {"sea kind 5", 5, [](RunParameters& p) { p.WvSteep = 0; }, {"Waves = 5"}},
      {"sea kind 32767", 32767, [](RunParameters&) {}, {"Waves = 32767"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RunParameters p = Sea(c.waves);
    c.spoil(p);
    CollectingDiagnostics diag;
    const SeaConstants sea = SeaSetUp(p, diag);
    EXPECT_TRUE(sea.Refused);
    EXPECT_TRUE(sea.FlatDrawn);
    ASSERT_EQ(diag.messages.size(), c.fields.size());
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_NE(diag.messages[i].find(c.fields[i] + " "), std::string::npos) << diag.messages[i];
      EXPECT_NE(diag.messages[i].find("flat"), std::string::npos) << diag.messages[i];
    }
    for (double xb : {0.0, 13.0})
      for (double t : {0.0, 2.5}) {
        EXPECT_EQ(Eta(sea, xb, 6.0, t), 0.0);
        CollectingDiagnostics d2;
        EXPECT_EQ(SeaElevation(sea, xb, 6.0, t, {0.5, 2.0, 8.0}, d2), LocalSurfaceTerm(6.0, {0.5, 2.0, 8.0}));
      }
  }
}

TEST(SeaSetUp, AcceptsEverySettingInsideTheLimits) {
  struct Good {
    const char* what;
    int waves;
    void (*set)(RunParameters&);
  };
  const Good cases[] = {
      {"one component", 0, [](RunParameters& p) { p.RWvN = 1; }},
      {"forty components", 0, [](RunParameters& p) { p.RWvN = 40; }},
      {"one Stokes term", 4, [](RunParameters& p) { p.StokesN = 1; }},
      {"nine Stokes terms", 4, [](RunParameters& p) { p.StokesN = 9; }},
      {"component count unused by the sinusoidal sea", 2, [](RunParameters& p) { p.RWvN = 0; p.StokesN = 0; }},
      {"Stokes terms unused by the random sea", 0, [](RunParameters& p) { p.StokesN = -3; }},
      {"prior duration unused by the Gerstner sea", 3, [](RunParameters& p) { p.RWvTdelay = NAN; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RunParameters p = Sea(c.waves);
    c.set(p);
    const SeaConstants sea = Prepared(p);
    EXPECT_FALSE(sea.Refused);
    EXPECT_FALSE(sea.FlatDrawn);
    EXPECT_NE(Eta(sea, 3.0, 0.0, 0.7), 0.0);
  }
}

TEST(SeaSetUp, ZeroHeightIsACalmSeaWithoutMessage) {
  for (int waves : {0, 2, 3, 4}) {
    const SeaConstants sea = Prepared(Sea(waves, 0.0f));
    EXPECT_FALSE(sea.Refused);
    EXPECT_TRUE(sea.FlatDrawn);
    for (double xb : {0.0, 13.0}) EXPECT_EQ(Eta(sea, xb, 1.0, 2.0), 0.0) << waves;
  }
}

}  // namespace
}  // namespace hulvex

namespace hulvex {
namespace {

// SeaElevations against SeaElevation step by step over a boat's course: planing at a steady
// speed, with steps long enough to need fresh phases, a gap in the times, a position that is not
// finite and a course going back, in head and following seas of every kind.
TEST(SeaElevations, EqualSeaElevationAtEveryStepWithinTheBound) {
  std::vector<double> t;
  std::vector<float> xb;
  for (int i = 0; i < 3000; ++i) {
    const double ti = 200.0 + 0.005 * i + (i >= 1500 ? 0.4 : 0.0);  // a jump of 0.4 s halfway
    t.push_back(ti);
    xb.push_back(static_cast<float>(45.0 * ti + 0.3 * std::sin(3.0 * ti)));
  }
  xb[700] = std::numeric_limits<float>::quiet_NaN();
  for (int i = 2500; i < 3000; ++i) xb[static_cast<std::size_t>(i)] = xb[2499] - static_cast<float>(0.2 * (i - 2499));
  for (const int waves : {0, 1, 2, 3, 4}) {
    for (const bool head : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "waves " << waves << (head ? " head" : " following"));
      RunParameters p = Sea(waves, 3.0f, 0.04f, head);
      p.RWvN = 40;
      p.RWvTdelay = 150.0f;
      const SeaConstants sea = Prepared(p);
      std::vector<double> out(t.size());
      CollectingDiagnostics diag;
      SeaElevations(sea, xb, 7.5, t, out, diag);
      const double bound = 1e-11 * std::max(1.0, sea.CompCount * sea.CompAmp);
      for (std::size_t i = 0; i < t.size(); ++i) {
        const double exact = Eta(sea, static_cast<double>(xb[i]), 7.5, t[i]);
        if (std::isnan(exact)) {
          EXPECT_TRUE(std::isnan(out[i])) << i;
        } else {
          ASSERT_NEAR(out[i], exact, bound) << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace hulvex
