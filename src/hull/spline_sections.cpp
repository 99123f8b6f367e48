#include "hull/spline_sections.h"

#include <cmath>

#include "common/constants.h"

namespace hulvex {
namespace {

// Value and slope of a curve at x, fitted from `firstRow`: -1 on the gunwale knots, 0 on the
// bottom knots, 1 on the inner knots.
CurvePoint At(const SplineStore& s, const SplineCurve& curve, int firstRow, double x) {
  const KnotSet& knots = firstRow < 0 ? s.GunwaleKnots : firstRow == 0 ? s.BottomKnots : s.InnerKnots;
  return EvaluateCurve(curve, firstRow, knots, x);
}

double First(const SplineCurve& curve) { return curve.Coefs[1].D1; }

void ZeroSection(HullSection& h) {
  const double gunwale = h.GunwaleHalfBeam, sheer = h.SheerHeight;
  h = HullSection{};
  h.GunwaleHalfBeam = gunwale;
  h.SheerHeight = sheer;
  h.BottomC1 = 1;
}

// The common start of the hull-line builders: gunwale and sheer, and the section ahead of the
// bottom. Returns true when the builder goes on with x > 0.
bool CommonStart(const SplineStore& s, HullSection& h, double x, double z0) {
  h.GunwaleHalfBeam = At(s, s.GunwaleCurve, -1, x).Value;
  h.SheerHeight = At(s, s.SheerCurve, -1, x).Value - z0;
  if (x > 0) return true;
  ZeroSection(h);
  return false;
}

}  // namespace

bool SlopeCheckPasses(double c1, double c2, double c3) {
  if (!std::isfinite(c1) || !std::isfinite(c2) || !std::isfinite(c3)) return false;
  if (std::fabs(c3) < 1e-35) {
    if (std::fabs(c2) < 1e-35) return c1 > 1e-6;
    const double u = -c1 / (2 * c2);
    return u < 0 || u > 1;
  }
  const double D = c2 * c2 - 3 * c1 * c3;
  if (D < 0) return true;
  const double w = std::sqrt(D);
  const double u1 = (-c2 + w) / (3 * c3);
  const double u2 = (-c2 - w) / (3 * c3);
  auto inside = [](double u) { return u >= 0 && u <= 1; };
  return !inside(u1) && !inside(u2);
}

bool BottomCubic(double t, double p, double q, HullSection& h, Diagnostics& diag) {
  bool ok = p != 0 && q != 0 && std::isfinite(t);
  if (ok) {
    h.BottomC1 = t / p;
    const double r = t / q;
    h.BottomC2 = 3 * t - r - 2 * h.BottomC1;
    h.BottomC3 = r + h.BottomC1 - 2 * t;
    ok = SlopeCheckPasses(h.BottomC1, h.BottomC2, h.BottomC3);
  } else {
    // No cubic exists; the section keeps a quiet NaN bottom rather than dividing by zero.
    h.BottomC1 = h.BottomC2 = h.BottomC3 = std::nan("");
  }
  if (!ok) diag.Message("spline-slope", "Error in Slope specification");
  return ok;
}

bool HullLinesLoaded(const SplineStore& s, SplineLayout layout) {
  if (s.GunwaleKnots.Count <= 0 || s.BottomKnots.Count <= 0) return false;
  return layout != SplineLayout::InnerChine || s.InnerKnots.Count > 0;
}

void PlainChineSection(const SplineStore& s, HullSection& h, double x, Diagnostics& diag) {
  if (!HullLinesLoaded(s, SplineLayout::PlainChine)) {
    h = HullSection{};
    h.BottomC1 = 1;
    return;
  }
  const double z0 = s.KeelCurve.Values[0];
  if (!CommonStart(s, h, x, z0)) {
    if (x == 0) {
      h.KeelZSlope = First(s.KeelCurve);
      h.ChineZSlope = First(s.ChineHeightCurve);
      h.InnerZSlope = h.ChineZSlope;
    }
    return;
  }
  const CurvePoint keel = At(s, s.KeelCurve, 0, x);
  const CurvePoint chine = At(s, s.ChineHeightCurve, 0, x);
  h.ChineHalfBeam = At(s, s.ChineBeamCurve, 0, x).Value;
  h.InnerHalfBeam = h.ChineHalfBeam;
  h.KeelZ = z0 - keel.Value;
  h.ChineZ = z0 - chine.Value;
  h.InnerZ = h.ChineZ;
  h.KeelZSlope = -keel.Slope;
  h.ChineZSlope = -chine.Slope;
  h.InnerZSlope = h.ChineZSlope;
  const double t = h.ChineHalfBeam / (h.KeelZ - h.ChineZ);
  BottomCubic(t, At(s, s.KeelSlopeCurve, 0, x).Value, At(s, s.ChineSlopeCurve, 0, x).Value, h, diag);
}

void InnerChineSection(const SplineStore& s, HullSection& h, double x, Diagnostics& diag) {
  if (!HullLinesLoaded(s, SplineLayout::InnerChine)) {
    h = HullSection{};
    h.BottomC1 = 1;
    return;
  }
  const double z0 = s.KeelCurve.Values[0];
  if (!CommonStart(s, h, x, z0)) return;

  if (x <= s.StemEndX) {
    // The stem, ahead of the inner chine: a straight keel.
    const CurvePoint chine = At(s, s.ChineHeightCurve, 0, x);
    h.ChineHalfBeam = At(s, s.ChineBeamCurve, 0, x).Value;
    h.ChineZ = z0 - chine.Value;
    h.ChineZSlope = -chine.Slope;
    h.KeelZ = (z0 - s.KeelCurve.Values[1]) * x / s.StemEndX;
    h.KeelZSlope = h.KeelZ / x;
    h.InnerHalfBeam = 0;
    h.InnerZ = h.KeelZ;
    h.InnerZSlope = h.KeelZSlope;
    h.BottomC1 = 1;
    h.BottomC2 = h.BottomC3 = 0;
    return;
  }
  const CurvePoint keel = At(s, s.KeelCurve, 1, x);
  const CurvePoint inner = At(s, s.InnerHeightCurve, 1, x);
  h.KeelZ = z0 - keel.Value;
  h.InnerHalfBeam = At(s, s.InnerBeamCurve, 1, x).Value;
  h.InnerZ = z0 - inner.Value;
  h.KeelZSlope = -keel.Slope;
  h.InnerZSlope = -inner.Slope;
  const double t = h.InnerHalfBeam / (h.KeelZ - h.InnerZ);
  const double p = At(s, s.KeelSlopeCurve, 1, x).Value;
  const double q = At(s, s.ChineSlopeCurve, 1, x).Value;
  const CurvePoint chine = At(s, s.ChineHeightCurve, 0, x);
  h.ChineHalfBeam = At(s, s.ChineBeamCurve, 0, x).Value;
  h.ChineZ = z0 - chine.Value;
  h.ChineZSlope = -chine.Slope;
  BottomCubic(t, p, q, h, diag);
}

void ChineAngleSection(const SplineStore& s, HullSection& h, double x, Diagnostics& diag) {
  if (!HullLinesLoaded(s, SplineLayout::ChineAngle)) {
    h = HullSection{};
    h.BottomC1 = 1;
    return;
  }
  const double z0 = s.KeelCurve.Values[0];
  if (!CommonStart(s, h, x, z0)) {
    if (x == 0) {
      h.KeelZSlope = First(s.KeelCurve);
      h.InnerZSlope = First(s.InnerHeightCurve);
      h.ChineZSlope = h.InnerZSlope;
    }
    return;
  }
  const CurvePoint keel = At(s, s.KeelCurve, 0, x);
  const CurvePoint chineBeam = At(s, s.ChineBeamCurve, 0, x);
  const CurvePoint innerBeam = At(s, s.InnerBeamCurve, 0, x);
  const CurvePoint inner = At(s, s.InnerHeightCurve, 0, x);
  const CurvePoint angle = At(s, s.ChineAngleCurve, 0, x);
  h.KeelZ = z0 - keel.Value;
  h.ChineHalfBeam = chineBeam.Value;
  h.InnerHalfBeam = innerBeam.Value;
  h.InnerZ = z0 - inner.Value;
  const double theta = angle.Value * kDegToRad;
  const double W = h.ChineHalfBeam - h.InnerHalfBeam;
  const double sn = std::sin(theta), cs = std::cos(theta);
  h.ChineZ = h.InnerZ - W * sn / cs;
  h.KeelZSlope = -keel.Slope;
  h.InnerZSlope = -inner.Slope;
  h.ChineZSlope = h.InnerZSlope - ((chineBeam.Slope - innerBeam.Slope) * sn / cs + angle.Slope * W * kDegToRad / (cs * cs));
  const double t = h.InnerHalfBeam / (h.KeelZ - h.InnerZ);
  BottomCubic(t, At(s, s.KeelSlopeCurve, 0, x).Value, At(s, s.ChineSlopeCurve, 0, x).Value, h, diag);
}

void SlopeFactorSection(const SplineStore& s, HullSection& h, double x, Diagnostics& diag) {
  const double t = h.ChineHalfBeam / (h.KeelZ - h.ChineZ);
  if (s.BottomKnots.Count <= 0) {
    h.BottomC1 = t;
    h.BottomC2 = h.BottomC3 = 0;
    return;
  }
  BottomCubic(t, At(s, s.KeelSlopeCurve, 0, x).Value, At(s, s.ChineSlopeCurve, 0, x).Value, h, diag);
}

}  // namespace hulvex
