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
// sheer only).
void AnalyticSection(const BoatRecord& PB, const SplineStore& store, double x, HullSection& h, Diagnostics& diag) {
  auto pw = [&](double exponent, double base) { return AXB(exponent, base, diag); };
  const int type = PB.HullType;

  const double r1 = x / PB.ForeLength, u1 = 1 - r1;
  const double r2 = x / PB.ChineLength, u2 = 1 - r2;
  const double xs = x + PB.StemRake;
  const double dx = x - PB.ForeLength;
  const bool zoneF = r1 < 1 && r2 < 1;
  const bool chineRunIn = r2 < 1;  // zones F and M
  auto Tc = [&] { return PB.ChineTaper1 * dx + PB.ChineTaper2 * pw(2, dx) + PB.ChineTaper3 * pw(3, dx); };
  auto Tg = [&] { return PB.GunwaleTaper1 * dx + PB.GunwaleTaper2 * pw(2, dx) + PB.GunwaleTaper3 * pw(3, dx); };

  if (type == 3) {
    h.ChineHalfBeam = PB.Beam / 2.0;
    h.GunwaleHalfBeam = h.ChineHalfBeam;
    h.KeelZ = PB.KeelDepth;
    h.ChineZ = PB.ChineDepth;
    h.KeelZSlope = 0;
    h.ChineZSlope = 0;
    h.SheerHeight = 0;
  } else {
    // Keel line, with the rocker term when there is one.
    double Ak = PB.KeelDepth, Sk = 0;
    if (u1 > 0) {
      Ak = PB.KeelDepth * (1 - pw(PB.KeelExp, u1));
      Sk = PB.KeelExp * PB.KeelSlopeScale * pw(PB.KeelExpM1, u1);
    }
    if (PB.RockerCoef == 0) {
      h.KeelZ = Ak;
      h.KeelZSlope = Sk;
    } else {
      const double d = x / PB.Length;
      const double e = 1 + PB.RockerCoef * d;
      const double f = pw(PB.RockerExp, e);
      const double hh = f + PB.RockerCP * d * pw(PB.RockerExpM1, e);
      h.KeelZ = Ak + PB.KeelDepth * d * (f - PB.RockerEnd);
      h.KeelZSlope = Sk + (PB.KeelDepth / PB.Length) * (hh - PB.RockerEnd);
    }

    // Deadrise of types 4 to 6.
    double beta = 0, tb = 0, P1 = 0, P2 = 0, u3 = 0;
    bool inDeadriseRun = false;
    if (type >= 4 && type <= 6) {
      const double r3 = x / PB.DeadriseLength;
      u3 = 1 - r3;
      inDeadriseRun = r3 < 1;
      if (inDeadriseRun) {
        P1 = pw(PB.DeadriseExp1, u3);
        P2 = pw(PB.DeadriseExp2, u3);
        beta = PB.DeadriseAftRad + PB.DeadriseSpan * (PB.DeadriseMixC * P1 + PB.DeadriseMix * P2);
      } else {
        beta = PB.DeadriseAftRad;
      }
      tb = std::sin(beta) / std::cos(beta);
    }

    // Chine depth.
    if (type == 1 || type == 5) {
      if (chineRunIn) {
        h.ChineZ = PB.ChineDepth * (2 * pw(PB.ChineExpA, r2) - pw(PB.ChineExpB, r2));
        h.ChineZSlope = (PB.ChineDepth / PB.ChineLength) *
                        (2 * PB.ChineExpA * pw(PB.ChineExpA - 1.0, r2) - PB.ChineExpB * pw(PB.ChineExpB - 1.0, r2));
      } else {
        h.ChineZ = PB.ChineDepth;
        h.ChineZSlope = 0;
      }
    } else if (type == 2 || type == 6) {
      if (chineRunIn) {
        h.ChineZ = PB.ChineDepth * (1 - pw(PB.ChineExp, u2));
        h.ChineZSlope = (PB.ChineExp * PB.ChineDepth / PB.ChineLength) * pw(PB.ChineExp - 1.0, u2);
      } else {
        h.ChineZ = PB.ChineDepth;
        h.ChineZSlope = 0;
      }
    }

    // Chine half-breadth.
    if (type == 1 || type == 2) {
      h.ChineHalfBeam = zoneF ? PB.PlanScale * pw(PB.PlanExp, 1 - pw(PB.AA, u1 * PB.PlanG)) - PB.PlanShift
                              : PB.Beam / 2.0 - Tc();
    } else if (type == 5 || type == 6) {
      h.ChineHalfBeam = (h.KeelZ - h.ChineZ) / tb;
    } else if (type == 4) {
      double Dy = 0;
      if (zoneF) {
        const double w = 1 - pw(PB.AA, u1 * PB.PlanG);
        const double q = pw(PB.PlanExp, w);
        h.ChineHalfBeam = PB.PlanScale * q - PB.PlanShift;
        Dy = w > 0 ? pw(PB.AA - 1.0, u1) * (q / w) * PB.PlanSlopeFactor : 0;
      } else {
        h.ChineHalfBeam = PB.Beam / 2.0 - Tc();
        Dy = -PB.ChineTaper1 - 2 * PB.ChineTaper2 * dx - 3 * PB.ChineTaper3 * pw(2, dx);
      }
      const double Dt = inDeadriseRun
                            ? ((PB.DeadriseD1 * P1 + PB.DeadriseD2 * P2) * PB.DeadriseDScale / u3) / pw(2, std::cos(beta))
                            : 0;
      h.ChineZ = h.KeelZ - h.ChineHalfBeam * tb;
      h.ChineZSlope = h.KeelZSlope - h.ChineHalfBeam * Dt - Dy * tb;
    }

    // Gunwale half-breadth.
    h.GunwaleHalfBeam = zoneF ? 0.5 * PB.GunwaleBeam *
                                    pw(PB.GunwaleExp2, 1 - pw(PB.GunwaleExp1, 1 - xs / PB.GunwaleLength))
                              : 0.5 * PB.GunwaleBeam - Tg();

    // Sheer line: down from the stem to its low point, up again to the transom.
    if (xs < PB.SheerLowXs) {
      h.SheerHeight = PB.SheerLow + (PB.SheerStem - PB.SheerLow) * pw(PB.SheerExpFwd, 1 - xs / PB.SheerLowXs);
    } else {
      const double run = static_cast<double>(PB.Length) + PB.StemRake;
      const double t = 1 - (run - xs) / (run - PB.SheerLowXs);
      h.SheerHeight = PB.SheerLow + (PB.SheerTransom - PB.SheerLow) * pw(PB.SheerExpAft, t);
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
