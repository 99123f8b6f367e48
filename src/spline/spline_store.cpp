#include "spline/spline_store.h"

#include <cmath>

namespace hulvex {

bool FitSpline(const SplineColumn& X, const SplineColumn& Y, int first, int last, SplineCoefTable& coefs) {
  const int M = last - first + 1;
  if (first < kSplineFirstRow || last > kSplineLastRow || M < 3 || M > kSplineMaxKnots) return false;

  // 1-based working arrays, as the method is usually written.
  std::array<double, kSplineMaxKnots + 1> x{}, y{}, h{}, s{}, p{}, u{}, r{}, v{};
  for (int j = 1; j <= M; ++j) {
    x[j] = X[first + j - 1];
    y[j] = Y[first + j - 1];
  }
  for (int j = 2; j <= M; ++j) {
    h[j] = x[j] - x[j - 1];
    s[j] = (y[j] - y[j - 1]) / h[j];
  }

  // First row: not-a-knot at the first interior knot.
  p[1] = h[3];
  u[1] = h[2] + h[3];
  r[1] = ((h[2] + 2 * u[1]) * s[2] * h[3] + h[2] * h[2] * s[3]) / u[1];
  // Interior rows.
  for (int k = 2; k <= M - 1; ++k) {
    if (!(std::fabs(p[k - 1]) >= 1e-80)) return false;
    const double g = -h[k + 1] / p[k - 1];
    r[k] = g * r[k - 1] + 3 * (h[k] * s[k + 1] + h[k + 1] * s[k]);
    p[k] = g * u[k - 1] + 2 * (h[k] + h[k + 1]);
    u[k] = h[k];
  }
  // Last row: not-a-knot at the last interior knot.
  const double G = h[M - 1] + h[M];
  r[M] = ((h[M] + 2 * G) * s[M] * h[M - 1] + h[M] * h[M] * s[M - 1]) / G;
  if (!(std::fabs(p[M - 1]) >= 1e-80)) return false;
  const double g = -G / p[M - 1];
  p[M] = g * u[M - 1] + h[M - 1];
  if (!(std::fabs(p[M]) >= 1e-80)) return false;
  v[M] = (g * r[M - 1] + r[M]) / p[M];
  for (int k = M - 1; k >= 1; --k) v[k] = (r[k] - u[k] * v[k + 1]) / p[k];

  SplineCoefTable out = coefs;
  for (int i = 1; i <= M - 1; ++i) {
    const double hi = h[i + 1];
    const double delta = (y[i + 1] - y[i]) / hi;
    const double e = v[i] + v[i + 1] - 2 * delta;
    out[i].D1 = v[i];
    out[i].D2 = 2 * (delta - v[i] - e) / hi;
    out[i].D3 = (e / hi) * (6 / hi);
  }
  out[M] = SplineCoef{v[M], 0, 0};
  coefs = out;
  return true;
}

KnotPosition LocateKnot(std::int16_t count, const std::array<double, kSplineMaxKnots>& knots, double x) {
  if (count <= 0) return {};
  const int n = count > kSplineMaxKnots ? kSplineMaxKnots : count;
  auto knot = [&](int i) { return knots[static_cast<std::size_t>(i - 1)]; };
  if (!(x >= knot(1))) return {1, 0.0};  // below the first knot, or NaN: held at the first knot
  int i = 1;
  while (i < n && knot(i) < x) ++i;
  if (x == knot(i) || x > knot(n)) return {static_cast<std::int16_t>(i), 0.0};
  return {static_cast<std::int16_t>(i - 1), x - knot(i - 1)};
}

double SplineValue(const SplineCoef& c, double y0, double dx) {
  return ((c.D3 * dx * (1.0 / 3.0) + c.D2) * dx * 0.5 + c.D1) * dx + y0;
}

double SplineSlope(const SplineCoef& c, double dx) { return (c.D3 * dx * 0.5 + c.D2) * dx + c.D1; }

CurvePoint EvaluateCurve(const SplineCurve& curve, int firstRow, const KnotSet& knots, double x) {
  KnotPosition at = LocateKnot(knots.Count, knots.Knots, x);
  if (at.Entry == 0) return {};
  // Rows above the table (a knot set longer than this curve's rows) are held at the last row.
  const int maxEntry = kSplineLastRow - firstRow + 1;
  if (at.Entry > maxEntry) at = {static_cast<std::int16_t>(maxEntry), 0.0};
  const SplineCoef& c = curve.Coefs[at.Entry];
  const double y0 = curve.Values[firstRow + at.Entry - 1];
  return {SplineValue(c, y0, at.Dx), SplineSlope(c, at.Dx)};
}

}  // namespace hulvex
