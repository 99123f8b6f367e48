#include "hull/hull_section.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <tuple>

#include "common/axb.h"
#include "hull/hull_setup.h"
#include "demo/boat_writer.h"

namespace hulvex {
namespace {

constexpr int kAnalyticTypes[] = {1, 2, 4, 5, 6};  // every analytic type with shaped lines
constexpr double kDeg = 3.14159265358979323846 / 180;

HullSection At(const BoatRecord& pb, double x) {
  CollectingDiagnostics diag;
  HullSection h;
  ComputeHullSection(pb, SplineStore{}, x, h, diag);
  EXPECT_TRUE(diag.messages.empty()) << "type " << pb.HullType << " x=" << x << ": " << diag.messages[0];
  return h;
}

// Deadrise angle of the sample boats at x, from the degree values (not the derived fields).
double Deadrise(const BoatRecord& pb, double x) {
  const double u = 1 - x / pb.DeadriseLength;
  if (u <= 0) return pb.DeadriseAft * kDeg;
  const double mix = pb.DeadriseMix;
  return (pb.DeadriseAft + (pb.DeadriseBow - pb.DeadriseAft) *
                               ((1 - mix) * std::pow(u, pb.DeadriseExp1) + mix * std::pow(u, pb.DeadriseExp2))) *
         kDeg;
}

TEST(AXB, PowersAndTheirSpecialCases) {
  const double nan = std::nan("");
  struct Case {
    double A, B, result;
    bool message;
  } cases[] = {
      {2, 3, 9, false},      {0.5, 16, 4, false}, {0, 5, 1, false},      {-1, 0, 0, false},
      {2.5, 0, 0, false},    {2, 1e-301, 0, false}, {2, -1, 0, true},     {-0.5, -1e-9, 0, true},
      {2, nan, 0, false},
  };
  for (const Case& c : cases) {
    CollectingDiagnostics diag;
    EXPECT_NEAR(AXB(c.A, c.B, diag), c.result, 1e-12) << c.A << " " << c.B;
    EXPECT_EQ(diag.messages, c.message ? std::vector<std::string>{"AXB ERR"} : std::vector<std::string>{});
  }
}

TEST(AnalyticSections, KeelLineWithoutRocker) {
  for (int type : {1, 4, 5, 6}) {
    const BoatRecord pb = demo::SampleBoat(type);
    EXPECT_NEAR(At(pb, 1e-9).KeelZ, 0, 1e-9);
    for (double x : {9.0, 9.5, 17.0, 24.0}) {
      EXPECT_EQ(At(pb, x).KeelZ, pb.KeelDepth) << type << " " << x;
      EXPECT_EQ(At(pb, x).KeelZSlope, 0);
    }
  }
}

TEST(AnalyticSections, RockerVanishesAtBowAndTransom) {
  const BoatRecord pb = demo::SampleBoat(2);
  ASSERT_NE(pb.RockerCoef, 0);
  EXPECT_NEAR(At(pb, pb.Length).KeelZ, pb.KeelDepth, 1e-6);
  EXPECT_LT(At(pb, pb.Length / 2).KeelZ, pb.KeelDepth - 0.01);  // the rocker lifts the keel between
  EXPECT_NEAR(At(pb, 1e-9).KeelZ, 0, 1e-8);
}

TEST(AnalyticSections, SlopesAreTheDerivativesOfTheLines) {
  // Central differences away from the zone borders, for every shaped type: checks the keel,
  // rocker, chine-depth and type-4 deadrise slope formulas against the lines themselves.
  for (int type : kAnalyticTypes) {
    const BoatRecord pb = demo::SampleBoat(type);
    for (double x = 0.3; x < pb.Length; x += 0.7) {
      if (std::fabs(x - pb.ForeLength) < 0.01 || std::fabs(x - pb.ChineLength) < 0.01 ||
          std::fabs(x - pb.DeadriseLength) < 0.01)
        continue;
      const double e = 1e-6;
      const HullSection h = At(pb, x), a = At(pb, x - e), b = At(pb, x + e);
      EXPECT_NEAR(h.KeelZSlope, (b.KeelZ - a.KeelZ) / (2 * e), 1e-5) << "type " << type << " x=" << x;
      EXPECT_NEAR(h.ChineZSlope, (b.ChineZ - a.ChineZ) / (2 * e), 1e-4) << "type " << type << " x=" << x;
    }
  }
}

// The slope formulas evaluated independently in long double from the fields as stored: the keel
// line with its rocker, the chine depth of types 1, 2, 5, 6, and type 4's chine from half-breadth
// and deadrise. Each slope comes with the sum of the magnitudes of its terms: where the terms
// cancel, a double evaluation can be no closer than a few units in the last place of that sum.
struct Slope {
  long double Value = 0, Scale = 0;
};
struct Slopes {
  Slope Keel, Chine;
};
Slopes LongDoubleSlopes(const BoatRecord& pb, long double x) {
  using LD = long double;
  auto pw = [](LD a, LD b) { return b > 1e-300L ? std::exp(a * std::log(b)) : 0.0L; };
  auto add = [](Slope& s, LD term) { s.Value += term, s.Scale += std::fabs(term); };
  const int type = pb.HullType;
  if (type == 3) return {};
  Slopes s;
  const LD u1 = 1 - x / pb.ForeLength, r2 = x / pb.ChineLength, u2 = 1 - r2;
  if (u1 > 0) add(s.Keel, LD(pb.KeelExp) * pb.KeelSlopeScale * pw(pb.KeelExpM1, u1));
  if (pb.RockerCoef != 0) {
    const LD d = x / pb.Length, e = 1 + pb.RockerCoef * d, k = LD(pb.KeelDepth) / pb.Length;
    add(s.Keel, k * (pw(pb.RockerExp, e) + pb.RockerCP * d * pw(pb.RockerExpM1, e)));
    add(s.Keel, -k * pb.RockerEnd);
  }
  if (r2 < 1 && (type == 1 || type == 5)) {
    const LD k = LD(pb.ChineDepth) / pb.ChineLength;
    add(s.Chine, k * 2 * LD(pb.ChineExpA) * pw(pb.ChineExpA - 1.0L, r2));
    add(s.Chine, -k * LD(pb.ChineExpB) * pw(pb.ChineExpB - 1.0L, r2));
  }
  if (r2 < 1 && (type == 2 || type == 6))
    add(s.Chine, LD(pb.ChineExp) * pb.ChineDepth / pb.ChineLength * pw(pb.ChineExp - 1.0L, u2));
  if (type == 4) {
    const LD u3 = 1 - x / pb.DeadriseLength, P1 = pw(pb.DeadriseExp1, u3), P2 = pw(pb.DeadriseExp2, u3);
    const LD mix = LD(pb.DeadriseMixC) * P1 + LD(pb.DeadriseMix) * P2;
    const LD beta = u3 > 0 ? pb.DeadriseAftRad + LD(pb.DeadriseSpan) * mix : LD(pb.DeadriseAftRad);
    const LD dt =
        u3 > 0 ? (LD(pb.DeadriseD1) * P1 + LD(pb.DeadriseD2) * P2) * pb.DeadriseDScale / u3 / pw(2, std::cos(beta)) : 0;
    const LD dx = x - pb.ForeLength, w = 1 - pw(pb.AA, u1 * pb.PlanG), q = pw(pb.PlanExp, w);
    const LD taper = pb.ChineTaper1 * dx + pb.ChineTaper2 * pw(2, dx) + pb.ChineTaper3 * pw(3, dx);
    const LD half = u1 > 0 ? pb.PlanScale * q - pb.PlanShift : LD(pb.Beam) / 2 - taper;
    const LD dy = u1 > 0 ? pw(pb.AA - 1.0L, u1) * (q / w) * pb.PlanSlopeFactor
                         : -pb.ChineTaper1 - 2 * LD(pb.ChineTaper2) * dx - 3 * LD(pb.ChineTaper3) * pw(2, dx);
    s.Chine = s.Keel;
    add(s.Chine, -half * dt);
    add(s.Chine, -dy * (std::sin(beta) / std::cos(beta)));
  }
  return s;
}

TEST(AnalyticSections, SlopesAreEvaluatedInDoublePrecision) {
  // Lengths whose ratios (1.1 / 9.9, KeelDepth / ForeLength, ...) single precision cannot hold; a
  // quotient of two fields rounded to single precision is off by parts in 1e8.
  const struct {
    int type;
    float rocker;
  } cases[] = {{1, 0}, {1, 0.07f}, {2, 0.05f}, {3, 0}, {4, 0}, {4, 0.07f}, {5, 0}, {6, 0.07f}};
  for (const auto& c : cases) {
    BoatRecord pb = demo::SampleBoat(c.type);
    pb.ForeLength = 7.7f;
    pb.AftLength = 15.4f;
    pb.ChineLength = 9.9f;
    pb.ChineDepth = 1.1f;
    pb.KeelDepth = c.type >= 5 ? 2.3f : 1.7f;
    pb.DeadriseLength = 11.1f;
    pb.RockerCoef = c.rocker;
    NullDiagnostics quiet;
    SplineStore none;
    ASSERT_TRUE(PrepareHull(pb, none, SplineFileSource{}, quiet));
    for (double x : {0.0001, 1.1, 4.4, 8.8, 12.1, static_cast<double>(pb.Length)}) {
      const HullSection h = At(pb, x);
      const Slopes want = LongDoubleSlopes(pb, x);
      for (const auto& [name, got, expected] : {std::tuple{"KeelZSlope", h.KeelZSlope, want.Keel},
                                                 {"ChineZSlope", h.ChineZSlope, want.Chine},
                                                 {"InnerZSlope", h.InnerZSlope, want.Chine}})
        EXPECT_LE(std::fabs(got - expected.Value), 1e-15L * expected.Scale)
            << name << " type " << c.type << " rocker " << c.rocker << " x=" << x << ": " << got << " vs "
            << static_cast<double>(expected.Value);
    }
  }
}

TEST(AnalyticSections, ChineHalfBreadthMeetsAtTheForebodyEndAndTheTransom) {
  for (int type : {1, 2, 4}) {
    const BoatRecord pb = demo::SampleBoat(type);
    const double fl = pb.ForeLength;
    EXPECT_NEAR(At(pb, std::nextafter(fl, 0.0)).ChineHalfBeam, pb.Beam / 2.0, 1e-6) << type;
    EXPECT_DOUBLE_EQ(At(pb, fl).ChineHalfBeam, pb.Beam / 2.0) << type;
    EXPECT_NEAR(At(pb, pb.Length).ChineHalfBeam, pb.TransomBeam / 2.0, 1e-5) << type;
    EXPECT_NEAR(At(pb, 1e-9).ChineHalfBeam, 0, 1e-5) << type;
    // The gunwale likewise, from the plan-form and from the taper.
    EXPECT_NEAR(At(pb, std::nextafter(fl, 0.0)).GunwaleHalfBeam, pb.GunwaleBeam / 2.0, 1e-6) << type;
    EXPECT_DOUBLE_EQ(At(pb, fl).GunwaleHalfBeam, pb.GunwaleBeam / 2.0) << type;
    EXPECT_NEAR(At(pb, pb.Length).GunwaleHalfBeam, pb.TransomBeam / 2.0 + pb.TransomFlare, 1e-5) << type;
  }
}

TEST(AnalyticSections, ChineDepthReachesChineDepthAtChineLength) {
  for (int type : {1, 2, 5, 6}) {
    const BoatRecord pb = demo::SampleBoat(type);
    const double cl = pb.ChineLength;
    EXPECT_NEAR(At(pb, std::nextafter(cl, 0.0)).ChineZ, pb.ChineDepth, 1e-6) << type;
    EXPECT_EQ(At(pb, cl).ChineZ, pb.ChineDepth) << type;
    EXPECT_EQ(At(pb, cl).ChineZSlope, 0) << type;
    EXPECT_NEAR(At(pb, 1e-9).ChineZ, 0, 1e-6) << type;
  }
  BoatRecord pb = demo::SampleBoat(1);
  const double cl = pb.ChineLength;
  EXPECT_NEAR(At(pb, std::nextafter(cl, 0.0)).ChineZSlope,
              (pb.ChineDepth / cl) * (2 * pb.ChineExpA - pb.ChineExpB), 1e-8);
  pb.ChineExpB = 2 * pb.ChineExpA;
  EXPECT_NEAR(At(pb, std::nextafter(cl, 0.0)).ChineZSlope, 0, 1e-8);
}

TEST(AnalyticSections, SheerFromStemToLowPointToTransom) {
  for (int type : kAnalyticTypes) {
    const BoatRecord pb = demo::SampleBoat(type);
    const double low = pb.SheerLowXs - pb.StemRake;  // x of the low point
    // Ahead of the bow origin the chine formulas take powers of negative bases ("AXB ERR"); the
    // sheer is defined there all the same.
    NullDiagnostics quiet;
    HullSection stem;
    ComputeHullSection(pb, SplineStore{}, -pb.StemRake, stem, quiet);
    EXPECT_NEAR(stem.SheerHeight, pb.SheerStem, 1e-9) << type;
    EXPECT_NEAR(At(pb, std::nextafter(low, 0.0)).SheerHeight, pb.SheerLow, 1e-9) << type;
    EXPECT_NEAR(At(pb, low).SheerHeight, pb.SheerLow, 1e-9) << type;
    EXPECT_NEAR(At(pb, pb.Length).SheerHeight, pb.SheerTransom, 1e-6) << type;
    // No jumps anywhere: neighbouring stations 1 mm apart differ little.
    for (double x = 0.001; x < pb.Length; x += 0.001) {
      if (std::fabs(At(pb, x).SheerHeight - At(pb, x + 0.001).SheerHeight) > 1e-2) {
        ADD_FAILURE() << "sheer jumps at " << x << " type " << type;
        break;
      }
    }
  }
}

TEST(AnalyticSections, HalfBreadthAndDepthsFollowTheDeadrise) {
  for (int type : {4, 5, 6}) {
    const BoatRecord pb = demo::SampleBoat(type);
    for (double x = 0.05; x <= pb.Length; x += 0.6) {
      const HullSection h = At(pb, x);
      const double tb = std::tan(Deadrise(pb, x));
      EXPECT_NEAR(h.ChineHalfBeam * tb, h.KeelZ - h.ChineZ, 1e-5) << "type " << type << " x=" << x;
      if (x >= pb.DeadriseLength) {
        EXPECT_NEAR((h.KeelZ - h.ChineZ) / h.ChineHalfBeam, std::tan(pb.DeadriseAft * kDeg), 1e-6);
      }
    }
  }
}

TEST(AnalyticSections, TypeThreeIsOneConstantSection) {
  BoatRecord pb = demo::SampleBoat(3);
  const HullSection first = At(pb, 0.0001);
  EXPECT_EQ(first.ChineHalfBeam, 4.0);
  EXPECT_EQ(first.GunwaleHalfBeam, 4.0);
  EXPECT_EQ(first.KeelZ, pb.KeelDepth);
  EXPECT_EQ(first.ChineZ, pb.ChineDepth);
  EXPECT_EQ(first.SheerHeight, 0);
  EXPECT_DOUBLE_EQ(first.BottomC1, 4.0 / (pb.KeelDepth - pb.ChineDepth));
  EXPECT_EQ(first.BottomC2, 0);
  for (double x : {0.6, 9.0, 12.0, 24.0, 100.0}) {
    const HullSection h = At(pb, x);
    for (const HullSectionField& f : HullSectionFields()) EXPECT_EQ(h.*f.Member, first.*f.Member) << f.Name;
  }
}

TEST(AnalyticSections, StraightBottomAndInnerCopies) {
  for (int type = 1; type <= 6; ++type) {
    const BoatRecord pb = demo::SampleBoat(type);
    for (double x : {0.0001, 3.0, 10.0, 20.0}) {
      const HullSection h = At(pb, x);
      EXPECT_DOUBLE_EQ(h.BottomC1, h.ChineHalfBeam / (h.KeelZ - h.ChineZ));
      EXPECT_EQ(h.BottomC2, 0);
      EXPECT_EQ(h.BottomC3, 0);
      EXPECT_EQ(h.InnerHalfBeam, h.ChineHalfBeam);
      EXPECT_EQ(h.InnerZ, h.ChineZ);
      EXPECT_EQ(h.InnerZSlope, h.ChineZSlope);
    }
  }
}

// A degenerate record gives a section without a fault, and every field is finite except those
// the damage reaches through a division by zero or a NaN (`mayFail`): a NaN beam is carried into
// the half-breadths and what is taken from them, never into the keel or the sheer; zero lengths
// give an infinite rocker term (x / Length); a keel at chine depth or an all-zero record divide by
// a zero bottom depth, and the all-zero sheer by a zero sheer run. A guarded quotient that lost
// its guard, or damage spreading to another line, breaks this.
TEST(AnalyticSections, DegenerateRecordsGiveNumbersNotCrashes) {
  struct Case {
    const char* name;
    void (*edit)(BoatRecord&);
    std::set<std::string> mayFail;
  } cases[] = {
      {"zero lengths", [](BoatRecord& pb) { pb.ForeLength = pb.AftLength = pb.ChineLength = 0; },
       {"KeelZ", "KeelZSlope"}},
      {"negative fore length", [](BoatRecord& pb) { pb.ForeLength = -3; }, {}},
      {"zero deadrise length", [](BoatRecord& pb) { pb.DeadriseLength = 0; }, {}},
      {"keel at chine depth", [](BoatRecord& pb) { pb.KeelDepth = pb.ChineDepth; }, {"BottomC1"}},
      {"all zero", [](BoatRecord& pb) { pb = BoatRecord{}; pb.HullType = 4; }, {"BottomC1", "SheerHeight"}},
      {"NaN beam", [](BoatRecord& pb) { pb.Beam = std::nanf(""); },
       {"ChineHalfBeam", "InnerHalfBeam", "GunwaleHalfBeam", "BottomC1", "ChineZ", "InnerZ", "ChineZSlope",
        "InnerZSlope"}},
  };
  for (const Case& c : cases) {
    for (int type = 1; type <= 6; ++type) {
      BoatRecord pb = demo::SampleBoat(type);
      c.edit(pb);
      NullDiagnostics quiet;
      SplineStore none;
      PrepareHull(pb, none, SplineFileSource{}, quiet);
      for (double x : {0.0001, 1.0, 30.0}) {
        HullSection h;
        ASSERT_NO_THROW(ComputeHullSection(pb, none, x, h, quiet));
        for (const HullSectionField& f : HullSectionFields())
          if (!c.mayFail.contains(f.Name)) {
            EXPECT_TRUE(std::isfinite(h.*f.Member)) << c.name << ", type " << type << ", x " << x << ": " << f.Name
                                                    << " is " << h.*f.Member;
          }
      }
    }
  }
}

}  // namespace
}  // namespace hulvex
