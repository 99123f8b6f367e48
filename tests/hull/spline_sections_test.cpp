#include "hull/spline_sections.h"

#include <gtest/gtest.h>

#include <cmath>

#include "demo/spline_writer.h"

namespace hulvex {
namespace {
using demo::SampleSplineTable;

SplineStore Loaded(const demo::SplineTable& table) {
  SplineStore store;
  CollectingDiagnostics diag;
  const bool ok = StoreSplineTable(table.Layout, ReadSplineText(demo::FormatSplineText(table), NumbersPerRow(table.Layout)),
                                   "T", store, diag);
  EXPECT_TRUE(ok);
  return store;
}
SplineStore Loaded(SplineLayout layout, int rows = 12) { return Loaded(SampleSplineTable(layout, rows)); }

using Builder = void (*)(const SplineStore&, HullSection&, double, Diagnostics&);
Builder BuilderOf(SplineLayout layout) {
  switch (layout) {
    case SplineLayout::InnerChine: return InnerChineSection;
    case SplineLayout::ChineAngle: return ChineAngleSection;
    default: return PlainChineSection;
  }
}
HullSection Section(SplineLayout layout, const SplineStore& s, double x, Diagnostics& diag) {
  HullSection h;
  BuilderOf(layout)(s, h, x, diag);
  return h;
}

constexpr SplineLayout kHullLines[] = {SplineLayout::PlainChine, SplineLayout::InnerChine, SplineLayout::ChineAngle};

TEST(SlopeCheck, StationaryPointsOnTheUnitInterval) {
  const double nan = std::nan("");
  struct Case {
    double c1, c2, c3;
    bool passes;
  } cases[] = {
      {1, 0, 0, true},      {1e-6, 0, 0, false},   {2e-6, 0, 0, true},    {-1, 0, 0, false},
      {1, -0.5, 0, false},  {1, -0.4, 0, true},    {1, 1, 0, true},       {0, 1, 0, false},
      {1, -3, 3, false},    {1, 0.5, -0.5, true},  {4, -4, 2, true},      {1, -2.9, 2, false},
      {nan, 0, 0, false},   {1, INFINITY, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(SlopeCheckPasses(c.c1, c.c2, c.c3), c.passes) << c.c1 << " " << c.c2 << " " << c.c3;
}

TEST(BottomCubic, CoefficientsEndSlopesAndTheMessage) {
  struct Case {
    double t, p, q, c1, c2, c3;
    bool message;
  } cases[] = {
      {0.8, 1, 1, 0.8, 0, 0, false},
      {1, 1, 0.25, 1, -3, 3, true},
      {1, 1, 2, 1, 0.5, -0.5, false},
      {0, 1, 1, 0, 0, 0, true},
      {2, 0.5, 1, 4, -4, 2, false},
  };
  for (const Case& c : cases) {
    HullSection h;
    CollectingDiagnostics diag;
    BottomCubic(c.t, c.p, c.q, h, diag);
    EXPECT_DOUBLE_EQ(h.BottomC1, c.c1);
    EXPECT_NEAR(h.BottomC2, c.c2, 1e-14);
    EXPECT_NEAR(h.BottomC3, c.c3, 1e-14);
    // f(1) = t, f'(0) = t / p, f'(1) = t / q.
    EXPECT_NEAR(h.BottomC1 + h.BottomC2 + h.BottomC3, c.t, 1e-12);
    EXPECT_NEAR(h.BottomC1 + 2 * h.BottomC2 + 3 * h.BottomC3, c.t / c.q, 1e-12);
    EXPECT_EQ(diag.messages.size(), c.message ? 1u : 0u);
    if (c.message) {
      EXPECT_EQ(diag.messages[0], "Error in Slope specification");
    }
  }
}

TEST(BottomCubic, DivisionsByZeroAreReportedNotComputed) {
  struct Case {
    double t, p, q;
  } cases[] = {{1, 0, 1}, {1, 1, 0}, {INFINITY, 1, 1}, {std::nan(""), 1, 1}};
  for (const Case& c : cases) {
    HullSection h;
    CollectingDiagnostics diag;
    EXPECT_FALSE(BottomCubic(c.t, c.p, c.q, h, diag));
    EXPECT_EQ(diag.messages, std::vector<std::string>{"Error in Slope specification"});
  }
}

TEST(SplineSections, SampleHullsPassTheSlopeCheckAndSlopesAreDerivatives) {
  for (SplineLayout layout : kHullLines) {
    const SplineStore s = Loaded(layout, 14);
    const double length = s.StationX[s.LastRow];
    CollectingDiagnostics diag;
    for (double x = 0.37; x < length - 0.01; x += 0.61) {
      const HullSection h = Section(layout, s, x, diag);
      // Slopes against central differences of the depths: an independent check of signs and of
      // the chine-angle derivative.
      const double e = 1e-5;
      const HullSection a = Section(layout, s, x - e, diag), b = Section(layout, s, x + e, diag);
      if (!(layout == SplineLayout::InnerChine && x - e <= s.StemEndX)) {
        EXPECT_NEAR(h.KeelZSlope, (b.KeelZ - a.KeelZ) / (2 * e), 1e-4) << int(layout) << " x=" << x;
        EXPECT_NEAR(h.InnerZSlope, (b.InnerZ - a.InnerZ) / (2 * e), 1e-4) << int(layout) << " x=" << x;
      }
      EXPECT_NEAR(h.ChineZSlope, (b.ChineZ - a.ChineZ) / (2 * e), 1e-4) << int(layout) << " x=" << x;
      EXPECT_GT(h.KeelZ, h.ChineZ);
      EXPECT_GE(h.GunwaleHalfBeam, h.ChineHalfBeam);
      if (layout == SplineLayout::PlainChine) {
        EXPECT_EQ(h.InnerHalfBeam, h.ChineHalfBeam);
        EXPECT_EQ(h.InnerZ, h.ChineZ);
        EXPECT_EQ(h.InnerZSlope, h.ChineZSlope);
      }
    }
    EXPECT_TRUE(diag.messages.empty()) << int(layout) << ": " << diag.messages.size();
  }
}

TEST(SplineSections, AheadOfTheBottomOnlyGunwaleAndSheer) {
  for (SplineLayout layout : kHullLines) {
    const SplineStore s = Loaded(layout);
    const double z0 = s.KeelCurve.Values[0];
    for (double x : {-1.5, -0.7, 0.0}) {
      CollectingDiagnostics diag;
      const HullSection h = Section(layout, s, x, diag);
      EXPECT_TRUE(diag.messages.empty());
      const CurvePoint g = EvaluateCurve(s.GunwaleCurve, -1, s.GunwaleKnots, x);
      EXPECT_EQ(h.GunwaleHalfBeam, g.Value);
      EXPECT_EQ(h.SheerHeight, EvaluateCurve(s.SheerCurve, -1, s.GunwaleKnots, x).Value - z0);
      EXPECT_EQ(h.BottomC1, 1);
      for (double v : {h.ChineHalfBeam, h.InnerHalfBeam, h.KeelZ, h.ChineZ, h.InnerZ, h.BottomC2, h.BottomC3})
        EXPECT_EQ(v, 0);
      const bool endRule = x == 0 && layout != SplineLayout::InnerChine;
      if (!endRule) {
        EXPECT_EQ(h.KeelZSlope, 0);
        EXPECT_EQ(h.ChineZSlope, 0);
        EXPECT_EQ(h.InnerZSlope, 0);
      } else {
        // First-knot slopes as stored, with no change of sign.
        EXPECT_EQ(h.KeelZSlope, s.KeelCurve.Coefs[1].D1);
        const SplineCurve& side = layout == SplineLayout::PlainChine ? s.ChineHeightCurve : s.InnerHeightCurve;
        EXPECT_EQ(h.ChineZSlope, side.Coefs[1].D1);
        EXPECT_EQ(h.InnerZSlope, side.Coefs[1].D1);
      }
    }
  }
  // The sheer at the stem head is SheerStem of the lines.
  const SplineStore s = Loaded(SplineLayout::PlainChine);
  NullDiagnostics quiet;
  EXPECT_EQ(Section(SplineLayout::PlainChine, s, s.StationX[-1], quiet).SheerHeight,
            static_cast<double>(s.SheerCurve.Values[-1]) - s.KeelCurve.Values[0]);
}

TEST(SplineSections, BeyondTheTransomTheTransomValuesHold) {
  for (SplineLayout layout : kHullLines) {
    const SplineStore s = Loaded(layout);
    const double length = s.StationX[s.LastRow];
    NullDiagnostics quiet;
    const HullSection at = Section(layout, s, length, quiet);
    EXPECT_EQ(at.KeelZ, static_cast<double>(s.KeelCurve.Values[0]) - s.KeelCurve.Values[s.LastRow]);
    EXPECT_EQ(at.GunwaleHalfBeam, static_cast<double>(s.GunwaleCurve.Values[s.LastRow]));
    for (double beyond : {0.5, 100.0}) {
      const HullSection h = Section(layout, s, length + beyond, quiet);
      for (const HullSectionField& f : HullSectionFields()) EXPECT_EQ(h.*f.Member, at.*f.Member) << f.Name;
    }
  }
}

TEST(SplineSections, InnerChineStemIsAStraightKeelMeetingTheKeelSpline) {
  const SplineStore s = Loaded(SplineLayout::InnerChine);
  const double z0 = s.KeelCurve.Values[0];
  NullDiagnostics quiet;
  const HullSection stem = Section(SplineLayout::InnerChine, s, s.StemEndX, quiet);
  EXPECT_EQ(stem.KeelZ, z0 - s.KeelCurve.Values[1]);
  EXPECT_EQ(stem.InnerHalfBeam, 0);
  EXPECT_EQ(stem.InnerZ, stem.KeelZ);
  EXPECT_EQ(stem.BottomC1, 1);
  const HullSection half = Section(SplineLayout::InnerChine, s, s.StemEndX / 2, quiet);
  EXPECT_DOUBLE_EQ(half.KeelZ, stem.KeelZ / 2);
  EXPECT_DOUBLE_EQ(half.KeelZSlope, stem.KeelZ / s.StemEndX);
  // Just aft the keel spline takes over from the same depth.
  const HullSection aft = Section(SplineLayout::InnerChine, s, s.StemEndX + 1e-9, quiet);
  EXPECT_NEAR(aft.KeelZ, stem.KeelZ, 1e-8);
  EXPECT_NEAR(aft.ChineZ, stem.ChineZ, 1e-8);
}

TEST(SplineSections, ChineAngleOfZeroPutsTheChineLevelWithTheInnerChine) {
  demo::SplineTable table = SampleSplineTable(SplineLayout::ChineAngle, 10);
  for (auto& row : table.Rows) row[5] = 0.0;
  const SplineStore s = Loaded(table);
  NullDiagnostics quiet;
  for (double x = 0.5; x < 24; x += 2.5) {
    const HullSection h = Section(SplineLayout::ChineAngle, s, x, quiet);
    EXPECT_EQ(h.ChineZ, h.InnerZ);
    EXPECT_DOUBLE_EQ(h.ChineZSlope, h.InnerZSlope);
    EXPECT_GT(h.ChineHalfBeam, h.InnerHalfBeam);
  }
}

TEST(SplineSections, UnitSlopeFactorsGiveAStraightBottom) {
  demo::SplineTable table = SampleSplineTable(SplineLayout::PlainChine, 10);
  for (auto& row : table.Rows) row[6] = row[7] = 1.0;
  const SplineStore s = Loaded(table);
  CollectingDiagnostics diag;
  for (double x = 0.1; x < 24; x += 1.3) {
    const HullSection h = Section(SplineLayout::PlainChine, s, x, diag);
    const double t = h.ChineHalfBeam / (h.KeelZ - h.ChineZ);
    EXPECT_DOUBLE_EQ(h.BottomC1, t);
    EXPECT_NEAR(h.BottomC2, 0, 1e-14 * t);  // 3t - t - 2t, to rounding
    EXPECT_NEAR(h.BottomC3, 0, 1e-14 * t);
  }
  EXPECT_TRUE(diag.messages.empty());
}

TEST(SplineSections, ZeroSlopeFactorReportsEachSectionWithoutCrashing) {
  demo::SplineTable table = SampleSplineTable(SplineLayout::PlainChine, 8);
  for (auto& row : table.Rows) row[6] = 0.0;
  const SplineStore s = Loaded(table);
  CollectingDiagnostics diag;
  for (double x : {1.0, 5.0, 9.0}) Section(SplineLayout::PlainChine, s, x, diag);
  EXPECT_EQ(diag.messages, std::vector<std::string>(3, "Error in Slope specification"));
}

TEST(SplineSections, AnEmptyStoreGivesEmptySectionsQuietly) {
  const SplineStore empty;
  for (SplineLayout layout : kHullLines) {
    EXPECT_FALSE(HullLinesLoaded(empty, layout));
    for (double x : {-1.0, 0.0, 0.0001, 3.0, 1e9}) {
      CollectingDiagnostics diag;
      const HullSection h = Section(layout, empty, x, diag);
      EXPECT_TRUE(diag.messages.empty());
      EXPECT_EQ(h.KeelZ, 0);
      EXPECT_EQ(h.SheerHeight, 0);
      EXPECT_EQ(h.BottomC1, 1);
    }
  }
  // An inner-chine hull needs its own knots: other layouts' curves do not make it drawable.
  const SplineStore plain = Loaded(SplineLayout::PlainChine);
  EXPECT_TRUE(HullLinesLoaded(plain, SplineLayout::ChineAngle));
  EXPECT_FALSE(HullLinesLoaded(plain, SplineLayout::InnerChine));
}

TEST(SlopeFactorSection, ReplacesOnlyTheBottomCoefficients) {
  HullSection h;
  h.ChineHalfBeam = 3.0;
  h.KeelZ = 1.5;
  h.ChineZ = 0.5;
  h.SheerHeight = 2.0;
  NullDiagnostics quiet;
  HullSection straight = h;
  SlopeFactorSection(SplineStore{}, straight, 5.0, quiet);  // nothing loaded: straight bottom
  EXPECT_EQ(straight.BottomC1, 3.0);
  EXPECT_EQ(straight.BottomC2, 0);

  demo::SplineTable table = SampleSplineTable(SplineLayout::SlopeFactor, 6);
  for (auto& row : table.Rows) {
    row[1] = 1.0;
    row[2] = 2.0;
  }
  const SplineStore s = Loaded(table);
  CollectingDiagnostics diag;
  SlopeFactorSection(s, h, 5.0, diag);
  EXPECT_TRUE(diag.messages.empty());
  EXPECT_DOUBLE_EQ(h.BottomC1, 3.0);
  EXPECT_DOUBLE_EQ(h.BottomC2, 1.5);
  EXPECT_DOUBLE_EQ(h.BottomC3, -1.5);
  EXPECT_EQ(h.SheerHeight, 2.0);
  EXPECT_EQ(h.KeelZ, 1.5);
}

}  // namespace
}  // namespace hulvex
