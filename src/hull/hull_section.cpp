#include "hull/hull_section.h"

#include <cmath>

#include "common/axb.h"
#include "hull/hull_setup.h"
#include "hull/spline_sections.h"

namespace hulvex {
namespace {

constexpr HullSectionField kFields[] = {
    {"ChineHalfBeam", &HullSection::ChineHalfBeam},     {"InnerHalfBeam", &HullSection::InnerHalfBeam},
    {"KeelZ", &HullSection::KeelZ},                     {"ChineZ", &HullSection::ChineZ},
    {"InnerZ", &HullSection::InnerZ},                   {"KeelZSlope", &HullSection::KeelZSlope},
    {"ChineZSlope", &HullSection::ChineZSlope},         {"InnerZSlope", &HullSection::InnerZSlope},
    {"GunwaleHalfBeam", &HullSection::GunwaleHalfBeam}, {"SheerHeight", &HullSection::SheerHeight},
    {"BottomC1", &HullSection::BottomC1},               {"BottomC2", &HullSection::BottomC2},
    {"BottomC3", &HullSection::BottomC3},
};

// The section of an analytic hull (HullType 1 ... 6; other codes below 7 get keel, gunwale and
// sheer only). The record's fields enter the formulas as doubles, so every product and quotient of
// two fields is formed in double precision.
void AnalyticSection(const BoatRecord& PB, const SplineStore& store, double x, HullSection& h, Diagnostics& diag) {
  auto pw = [&](double exponent, double base) { return AXB(exponent, base, diag); };
  const int type = PB.HullType;
  const double Beam = PB.Beam, Length = PB.Length, ForeLength = PB.ForeLength, StemRake = PB.StemRake;
  const double KeelDepth = PB.KeelDepth, KeelExp = PB.KeelExp, KeelExpM1 = PB.KeelExpM1,
               KeelSlopeScale = PB.KeelSlopeScale;
  const double RockerCoef = PB.RockerCoef, RockerExp = PB.RockerExp, RockerExpM1 = PB.RockerExpM1,
               RockerCP = PB.RockerCP, RockerEnd = PB.RockerEnd;
  const double ChineDepth = PB.ChineDepth, ChineLength = PB.ChineLength, ChineExp = PB.ChineExp,
               ChineExpA = PB.ChineExpA, ChineExpB = PB.ChineExpB;
  const double ChineTaper1 = PB.ChineTaper1, ChineTaper2 = PB.ChineTaper2, ChineTaper3 = PB.ChineTaper3;
  const double AA = PB.AA, PlanExp = PB.PlanExp, PlanG = PB.PlanG, PlanScale = PB.PlanScale,
               PlanShift = PB.PlanShift, PlanSlopeFactor = PB.PlanSlopeFactor;
  const double DeadriseLength = PB.DeadriseLength, DeadriseExp1 = PB.DeadriseExp1, DeadriseExp2 = PB.DeadriseExp2,
               DeadriseAftRad = PB.DeadriseAftRad, DeadriseSpan = PB.DeadriseSpan, DeadriseMix = PB.DeadriseMix,
               DeadriseMixC = PB.DeadriseMixC, DeadriseD1 = PB.DeadriseD1, DeadriseD2 = PB.DeadriseD2,
               DeadriseDScale = PB.DeadriseDScale;
  const double GunwaleBeam = PB.GunwaleBeam, GunwaleLength = PB.GunwaleLength, GunwaleExp1 = PB.GunwaleExp1,
               GunwaleExp2 = PB.GunwaleExp2;
  const double GunwaleTaper1 = PB.GunwaleTaper1, GunwaleTaper2 = PB.GunwaleTaper2,
               GunwaleTaper3 = PB.GunwaleTaper3;
  const double SheerLowXs = PB.SheerLowXs, SheerLow = PB.SheerLow, SheerStem = PB.SheerStem,
               SheerTransom = PB.SheerTransom, SheerExpFwd = PB.SheerExpFwd, SheerExpAft = PB.SheerExpAft;

  const double r1 = x / ForeLength, u1 = 1 - r1;
  const double r2 = x / ChineLength, u2 = 1 - r2;
  const double xs = x + StemRake;
  const double dx = x - ForeLength;
  const bool zoneF = r1 < 1 && r2 < 1;
  const bool chineRunIn = r2 < 1;  // zones F and M
  auto Tc = [&] { return ChineTaper1 * dx + ChineTaper2 * pw(2, dx) + ChineTaper3 * pw(3, dx); };
  auto Tg = [&] { return GunwaleTaper1 * dx + GunwaleTaper2 * pw(2, dx) + GunwaleTaper3 * pw(3, dx); };

  if (type == 3) {
    h.ChineHalfBeam = Beam / 2.0;
    h.GunwaleHalfBeam = h.ChineHalfBeam;
    h.KeelZ = KeelDepth;
    h.ChineZ = ChineDepth;
    h.KeelZSlope = 0;
    h.ChineZSlope = 0;
    h.SheerHeight = 0;
  } else {
    // Keel line, with the rocker term when there is one.
    double Ak = KeelDepth, Sk = 0;
    if (u1 > 0) {
      Ak = KeelDepth * (1 - pw(KeelExp, u1));
      Sk = KeelExp * KeelSlopeScale * pw(KeelExpM1, u1);
    }
    if (RockerCoef == 0) {
      h.KeelZ = Ak;
      h.KeelZSlope = Sk;
    } else {
      const double d = x / Length;
      const double e = 1 + RockerCoef * d;
      const double f = pw(RockerExp, e);
      const double hh = f + RockerCP * d * pw(RockerExpM1, e);
      h.KeelZ = Ak + KeelDepth * d * (f - RockerEnd);
      h.KeelZSlope = Sk + (KeelDepth / Length) * (hh - RockerEnd);
    }

    // Deadrise of types 4 to 6.
    double beta = 0, tb = 0, P1 = 0, P2 = 0, u3 = 0;
    bool inDeadriseRun = false;
    if (type >= 4 && type <= 6) {
      const double r3 = x / DeadriseLength;
      u3 = 1 - r3;
      inDeadriseRun = r3 < 1;
      if (inDeadriseRun) {
        P1 = pw(DeadriseExp1, u3);
        P2 = pw(DeadriseExp2, u3);
        beta = DeadriseAftRad + DeadriseSpan * (DeadriseMixC * P1 + DeadriseMix * P2);
      } else {
        beta = DeadriseAftRad;
      }
      tb = std::sin(beta) / std::cos(beta);
    }

    // Chine depth.
    if (type == 1 || type == 5) {
      if (chineRunIn) {
        h.ChineZ = ChineDepth * (2 * pw(ChineExpA, r2) - pw(ChineExpB, r2));
        h.ChineZSlope = (ChineDepth / ChineLength) *
                        (2 * ChineExpA * pw(ChineExpA - 1.0, r2) - ChineExpB * pw(ChineExpB - 1.0, r2));
      } else {
        h.ChineZ = ChineDepth;
        h.ChineZSlope = 0;
      }
    } else if (type == 2 || type == 6) {
      if (chineRunIn) {
        h.ChineZ = ChineDepth * (1 - pw(ChineExp, u2));
        h.ChineZSlope = (ChineExp * ChineDepth / ChineLength) * pw(ChineExp - 1.0, u2);
      } else {
        h.ChineZ = ChineDepth;
        h.ChineZSlope = 0;
      }
    }

    // Chine half-breadth.
    if (type == 1 || type == 2) {
      h.ChineHalfBeam = zoneF ? PlanScale * pw(PlanExp, 1 - pw(AA, u1 * PlanG)) - PlanShift : Beam / 2.0 - Tc();
    } else if (type == 5 || type == 6) {
      h.ChineHalfBeam = (h.KeelZ - h.ChineZ) / tb;
    } else if (type == 4) {
      double Dy = 0;
      if (zoneF) {
        const double w = 1 - pw(AA, u1 * PlanG);
        const double q = pw(PlanExp, w);
        h.ChineHalfBeam = PlanScale * q - PlanShift;
        Dy = w > 0 ? pw(AA - 1.0, u1) * (q / w) * PlanSlopeFactor : 0;
      } else {
        h.ChineHalfBeam = Beam / 2.0 - Tc();
        Dy = -ChineTaper1 - 2 * ChineTaper2 * dx - 3 * ChineTaper3 * pw(2, dx);
      }
      const double Dt =
          inDeadriseRun ? ((DeadriseD1 * P1 + DeadriseD2 * P2) * DeadriseDScale / u3) / pw(2, std::cos(beta)) : 0;
      h.ChineZ = h.KeelZ - h.ChineHalfBeam * tb;
      h.ChineZSlope = h.KeelZSlope - h.ChineHalfBeam * Dt - Dy * tb;
    }

    // Gunwale half-breadth.
    h.GunwaleHalfBeam = zoneF ? 0.5 * GunwaleBeam * pw(GunwaleExp2, 1 - pw(GunwaleExp1, 1 - xs / GunwaleLength))
                              : 0.5 * GunwaleBeam - Tg();

    // Sheer line: down from the stem to its low point, up again to the transom.
    if (xs < SheerLowXs) {
      h.SheerHeight = SheerLow + (SheerStem - SheerLow) * pw(SheerExpFwd, 1 - xs / SheerLowXs);
    } else {
      const double run = Length + StemRake;
      const double t = 1 - (run - xs) / (run - SheerLowXs);
      h.SheerHeight = SheerLow + (SheerTransom - SheerLow) * pw(SheerExpAft, t);
    }
  }

  // Bottom curve and the copies of a hull without an inner chine.
  if (x > 1e-6) {
    if (PB.SplineProps != 0) {
      SlopeFactorSection(store, h, x, diag);
    } else {
      h.BottomC1 = h.ChineHalfBeam / (h.KeelZ - h.ChineZ);
      h.BottomC2 = 0;
      h.BottomC3 = 0;
    }
  }
  h.InnerZ = h.ChineZ;
  h.InnerHalfBeam = h.ChineHalfBeam;
  h.InnerZSlope = h.ChineZSlope;
}

}  // namespace

std::span<const HullSectionField> HullSectionFields() { return kFields; }

void ComputeHullSection(const BoatRecord& PB, const SplineStore& store, double x, HullSection& section,
                        Diagnostics& diag) {
  section = HullSection{};
  if (PB.HullType >= 7) {
    switch (HullLineLayoutOf(PB)) {
      case SplineLayout::PlainChine: PlainChineSection(store, section, x, diag); break;
      case SplineLayout::InnerChine: InnerChineSection(store, section, x, diag); break;
      default: ChineAngleSection(store, section, x, diag); break;
    }
    return;
  }
  AnalyticSection(PB, store, x, section, diag);
}

}  // namespace hulvex
