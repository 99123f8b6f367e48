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

// The formulas of an analytic hull (HullType 1 ... 6). The record's fields enter them as doubles,
// so every product and quotient of two fields is formed in double precision.

// AXB with the section's sink.
struct Pow {
  Diagnostics& diag;
  double operator()(double exponent, double base) const { return AXB(exponent, base, diag); }
};

// Where a section lies: x and the ratios of the fore, chine and stem-raked runs.
struct SectionPlace {
  double x = 0;
  double r1 = 0, u1 = 0;  // x over ForeLength, and 1 - that
  double r2 = 0, u2 = 0;  // x over ChineLength, and 1 - that
  double xs = 0;          // x from the raked stem
  double dx = 0;          // x aft of the forebody
  bool zoneF = false;       // inside both the forebody and the chine run-in
  bool chineRunIn = false;  // inside the chine run-in (zones F and M)
};

SectionPlace PlaceOf(const BoatRecord& PB, double x) {
  SectionPlace at;
  at.x = x;
  at.r1 = x / static_cast<double>(PB.ForeLength);
  at.u1 = 1 - at.r1;
  at.r2 = x / static_cast<double>(PB.ChineLength);
  at.u2 = 1 - at.r2;
  at.xs = x + static_cast<double>(PB.StemRake);
  at.dx = x - static_cast<double>(PB.ForeLength);
  at.zoneF = at.r1 < 1 && at.r2 < 1;
  at.chineRunIn = at.r2 < 1;
  return at;
}

// Keel depth and slope, with the rocker term when there is one.
void KeelLine(const BoatRecord& PB, const SectionPlace& at, const Pow& pw, HullSection& h) {
  const double KeelDepth = PB.KeelDepth, KeelExp = PB.KeelExp, KeelExpM1 = PB.KeelExpM1,
               KeelSlopeScale = PB.KeelSlopeScale, Length = PB.Length;
  const double RockerCoef = PB.RockerCoef, RockerExp = PB.RockerExp, RockerExpM1 = PB.RockerExpM1,
               RockerCP = PB.RockerCP, RockerEnd = PB.RockerEnd;
  double Ak = KeelDepth, Sk = 0;
  if (at.u1 > 0) {
    Ak = KeelDepth * (1 - pw(KeelExp, at.u1));
    Sk = KeelExp * KeelSlopeScale * pw(KeelExpM1, at.u1);
  }
  if (RockerCoef == 0) {
    h.KeelZ = Ak;
    h.KeelZSlope = Sk;
  } else {
    const double d = at.x / Length;
    const double e = 1 + RockerCoef * d;
    const double f = pw(RockerExp, e);
    const double hh = f + RockerCP * d * pw(RockerExpM1, e);
    h.KeelZ = Ak + KeelDepth * d * (f - RockerEnd);
    h.KeelZSlope = Sk + (KeelDepth / Length) * (hh - RockerEnd);
  }
}

// The deadrise angle of types 4 to 6 and the terms of its slope.
struct Deadrise {
  double beta = 0, tb = 0;     // the angle (rad) and its tangent
  double P1 = 0, P2 = 0, u3 = 0;  // the powers of u3 = 1 - x / DeadriseLength in it
  bool inRun = false;          // x inside the deadrise run
};

Deadrise DeadriseAt(const BoatRecord& PB, double x, const Pow& pw) {
  Deadrise d;
  if (PB.HullType < 4 || PB.HullType > 6) return d;
  const double r3 = x / static_cast<double>(PB.DeadriseLength);
  d.u3 = 1 - r3;
  d.inRun = r3 < 1;
  if (d.inRun) {
    d.P1 = pw(PB.DeadriseExp1, d.u3);
    d.P2 = pw(PB.DeadriseExp2, d.u3);
    d.beta = static_cast<double>(PB.DeadriseAftRad) +
             static_cast<double>(PB.DeadriseSpan) *
                 (static_cast<double>(PB.DeadriseMixC) * d.P1 + static_cast<double>(PB.DeadriseMix) * d.P2);
  } else {
    d.beta = PB.DeadriseAftRad;
  }
  d.tb = std::sin(d.beta) / std::cos(d.beta);
  return d;
}

// Chine depth and slope of types 1, 2, 5 and 6 (type 4 takes them from the deadrise).
void ChineDepthLine(const BoatRecord& PB, const SectionPlace& at, const Pow& pw, HullSection& h) {
  const int type = PB.HullType;
  const double ChineDepth = PB.ChineDepth, ChineLength = PB.ChineLength, ChineExp = PB.ChineExp,
               ChineExpA = PB.ChineExpA, ChineExpB = PB.ChineExpB;
  if (type != 1 && type != 2 && type != 5 && type != 6) return;
  if (!at.chineRunIn) {
    h.ChineZ = ChineDepth;
    h.ChineZSlope = 0;
  } else if (type == 1 || type == 5) {
    h.ChineZ = ChineDepth * (2 * pw(ChineExpA, at.r2) - pw(ChineExpB, at.r2));
    h.ChineZSlope = (ChineDepth / ChineLength) *
                    (2 * ChineExpA * pw(ChineExpA - 1.0, at.r2) - ChineExpB * pw(ChineExpB - 1.0, at.r2));
  } else {
    h.ChineZ = ChineDepth * (1 - pw(ChineExp, at.u2));
    h.ChineZSlope = (ChineExp * ChineDepth / ChineLength) * pw(ChineExp - 1.0, at.u2);
  }
}

// Chine half-breadth: the plan-form curve in zone F, the tapered beam aft of it; types 5 and 6
// from the deadrise; type 4 also sets the chine depth and slope from the deadrise.
void ChineHalfBreadth(const BoatRecord& PB, const SectionPlace& at, const Deadrise& d, const Pow& pw,
                      HullSection& h) {
  const int type = PB.HullType;
  const double Beam = PB.Beam, AA = PB.AA, PlanExp = PB.PlanExp, PlanG = PB.PlanG, PlanScale = PB.PlanScale,
               PlanShift = PB.PlanShift, PlanSlopeFactor = PB.PlanSlopeFactor;
  const double ChineTaper1 = PB.ChineTaper1, ChineTaper2 = PB.ChineTaper2, ChineTaper3 = PB.ChineTaper3;
  const double DeadriseD1 = PB.DeadriseD1, DeadriseD2 = PB.DeadriseD2, DeadriseDScale = PB.DeadriseDScale;
  const double dx = at.dx, u1 = at.u1;
  auto Tc = [&] { return ChineTaper1 * dx + ChineTaper2 * pw(2, dx) + ChineTaper3 * pw(3, dx); };
  if (type == 1 || type == 2) {
    h.ChineHalfBeam = at.zoneF ? PlanScale * pw(PlanExp, 1 - pw(AA, u1 * PlanG)) - PlanShift : Beam / 2.0 - Tc();
  } else if (type == 5 || type == 6) {
    h.ChineHalfBeam = (h.KeelZ - h.ChineZ) / d.tb;
  } else if (type == 4) {
    double Dy = 0;
    if (at.zoneF) {
      const double w = 1 - pw(AA, u1 * PlanG);
      const double q = pw(PlanExp, w);
      h.ChineHalfBeam = PlanScale * q - PlanShift;
      Dy = w > 0 ? pw(AA - 1.0, u1) * (q / w) * PlanSlopeFactor : 0;
    } else {
      h.ChineHalfBeam = Beam / 2.0 - Tc();
      Dy = -ChineTaper1 - 2 * ChineTaper2 * dx - 3 * ChineTaper3 * pw(2, dx);
    }
    const double Dt =
        d.inRun ? ((DeadriseD1 * d.P1 + DeadriseD2 * d.P2) * DeadriseDScale / d.u3) / pw(2, std::cos(d.beta)) : 0;
    h.ChineZ = h.KeelZ - h.ChineHalfBeam * d.tb;
    h.ChineZSlope = h.KeelZSlope - h.ChineHalfBeam * Dt - Dy * d.tb;
  }
}

// Gunwale half-breadth: the plan-form curve in zone F, the tapered gunwale beam aft of it.
void GunwaleHalfBreadth(const BoatRecord& PB, const SectionPlace& at, const Pow& pw, HullSection& h) {
  const double GunwaleBeam = PB.GunwaleBeam, GunwaleLength = PB.GunwaleLength, GunwaleExp1 = PB.GunwaleExp1,
               GunwaleExp2 = PB.GunwaleExp2;
  const double GunwaleTaper1 = PB.GunwaleTaper1, GunwaleTaper2 = PB.GunwaleTaper2,
               GunwaleTaper3 = PB.GunwaleTaper3;
  const double dx = at.dx;
  auto Tg = [&] { return GunwaleTaper1 * dx + GunwaleTaper2 * pw(2, dx) + GunwaleTaper3 * pw(3, dx); };
  h.GunwaleHalfBeam = at.zoneF ? 0.5 * GunwaleBeam * pw(GunwaleExp2, 1 - pw(GunwaleExp1, 1 - at.xs / GunwaleLength))
                               : 0.5 * GunwaleBeam - Tg();
}

// Sheer line: down from the stem to its low point, up again to the transom.
void SheerLine(const BoatRecord& PB, const SectionPlace& at, const Pow& pw, HullSection& h) {
  const double Length = PB.Length, StemRake = PB.StemRake;
  const double SheerLowXs = PB.SheerLowXs, SheerLow = PB.SheerLow, SheerStem = PB.SheerStem,
               SheerTransom = PB.SheerTransom, SheerExpFwd = PB.SheerExpFwd, SheerExpAft = PB.SheerExpAft;
  const double xs = at.xs;
  if (xs < SheerLowXs) {
    h.SheerHeight = SheerLow + (SheerStem - SheerLow) * pw(SheerExpFwd, 1 - xs / SheerLowXs);
  } else {
    const double run = Length + StemRake;
    const double t = 1 - (run - xs) / (run - SheerLowXs);
    h.SheerHeight = SheerLow + (SheerTransom - SheerLow) * pw(SheerExpAft, t);
  }
}

// The constant section of type 3: the beam and depths of the record, no slopes, no sheer.
void ConstantSection(const BoatRecord& PB, HullSection& h) {
  h.ChineHalfBeam = static_cast<double>(PB.Beam) / 2.0;
  h.GunwaleHalfBeam = h.ChineHalfBeam;
  h.KeelZ = PB.KeelDepth;
  h.ChineZ = PB.ChineDepth;
  h.KeelZSlope = 0;
  h.ChineZSlope = 0;
  h.SheerHeight = 0;
}

// Bottom curve (from the slope-factor file, or the straight line from keel to chine), and the
// inner chine as a copy of the chine: analytic hulls have none.
void BottomAndInnerChine(const BoatRecord& PB, const SplineStore& store, double x, HullSection& h, Diagnostics& diag) {
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

// The section of an analytic hull (HullType 1 ... 6; other codes below 7 get keel, gunwale and
// sheer only).
void AnalyticSection(const BoatRecord& PB, const SplineStore& store, double x, HullSection& h, Diagnostics& diag) {
  if (PB.HullType == 3) {
    ConstantSection(PB, h);
  } else {
    const Pow pw{diag};
    const SectionPlace at = PlaceOf(PB, x);
    KeelLine(PB, at, pw, h);
    const Deadrise deadrise = DeadriseAt(PB, x, pw);
    ChineDepthLine(PB, at, pw, h);
    ChineHalfBreadth(PB, at, deadrise, pw, h);
    GunwaleHalfBreadth(PB, at, pw, h);
    SheerLine(PB, at, pw, h);
  }
  BottomAndInnerChine(PB, store, x, h, diag);
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
