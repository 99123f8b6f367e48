#include "spline/spline_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace hulvex {
namespace {

// y = a + b x + c x^2 + d x^3 and its derivatives.
struct Cubic {
  double a, b, c, d;
  double operator()(double x) const { return a + x * (b + x * (c + x * d)); }
  double Slope(double x) const { return b + x * (2 * c + 3 * d * x); }
};

// Rows first ... first + n - 1 of a column pair from the cubic at increasing, uneven stations.
// Stations and values are float32, as in the store.
void Tabulate(const Cubic& f, int first, int n, SplineColumn& X, SplineColumn& Y) {
  double x = -1.5;
  for (int i = 0; i < n; ++i) {
    X[first + i] = static_cast<float>(x);
    Y[first + i] = static_cast<float>(f(X[first + i]));
    x += 0.5 + 0.37 * ((i * 7) % 5);
  }
}

KnotSet KnotsOf(const SplineColumn& X, int first, int n) {
  KnotSet k;
  k.Count = static_cast<std::int16_t>(n);
  for (int i = 0; i < n; ++i) k.Knots[i] = X[first + i];
  return k;
}

TEST(FitSpline, ReproducesCubicDataAtEveryKnotCount) {
  const Cubic f{0.75, -0.5, 0.125, -0.03125};
  for (int first : {-1, 0, 1}) {
    for (int n = 4; n <= 30 && first + n - 1 <= 30; ++n) {
      SplineCurve curve;
      SplineColumn X;
      Tabulate(f, first, n, X, curve.Values);
      ASSERT_TRUE(FitSpline(X, curve.Values, first, first + n - 1, curve.Coefs)) << n;
      const KnotSet knots = KnotsOf(X, first, n);
      // The fit passes through the float32 values, which lie within float rounding of the cubic.
      const double scale = 1e-6 * (1 + std::fabs(f(X[first + n - 1])));
      for (int i = 0; i + 1 < n; ++i) {
        for (double s : {0.0, 0.25, 0.5, 0.9}) {
          const double x = X[first + i] + s * (X[first + i + 1] - X[first + i]);
          const CurvePoint p = EvaluateCurve(curve, first, knots, x);
          EXPECT_NEAR(p.Value, f(x), 20 * scale) << "n=" << n << " x=" << x;
          EXPECT_NEAR(p.Slope, f.Slope(x), 2e-3) << "n=" << n << " x=" << x;
        }
      }
      // Not-a-knot: the third derivative does not jump at the second and second-to-last knots.
      EXPECT_NEAR(curve.Coefs[1].D3, curve.Coefs[2].D3, 1e-3);
      EXPECT_NEAR(curve.Coefs[n - 2].D3, curve.Coefs[n - 1].D3, 1e-3);
      EXPECT_NEAR(curve.Coefs[1].D3, 6 * f.d, 1e-3);
    }
  }
}

TEST(FitSpline, ExactOnStationsThatHoldTheCubicExactly) {
  // Integer stations and a cubic with small integer coefficients: every table value is exact, so
  // the fit must be the cubic to rounding.
  const Cubic f{1, -2, 0.5, 0.25};
  SplineCurve curve;
  SplineColumn X;
  for (int r = 0; r < 6; ++r) {
    X[r] = static_cast<float>(r * 2);
    curve.Values[r] = static_cast<float>(f(X[r]));
  }
  ASSERT_TRUE(FitSpline(X, curve.Values, 0, 5, curve.Coefs));
  for (int k = 1; k <= 5; ++k) {
    const double x = X[k - 1];
    EXPECT_NEAR(curve.Coefs[k].D1, f.Slope(x), 1e-12);
    EXPECT_NEAR(curve.Coefs[k].D2, 2 * f.c + 6 * f.d * x, 1e-12);
    EXPECT_NEAR(curve.Coefs[k].D3, 6 * f.d, 1e-12);
  }
  EXPECT_NEAR(curve.Coefs[6].D1, f.Slope(10), 1e-12);
  EXPECT_EQ(curve.Coefs[6].D2, 0);
}

TEST(FitSpline, ThreePointsAndBadRowRangesLeaveTheTableAlone) {
  SplineColumn X, Y;
  for (int r = -1; r <= 30; ++r) {
    X[r] = static_cast<float>(r);
    Y[r] = static_cast<float>(r * r);
  }
  SplineCoefTable before;
  for (int k = 1; k <= 30; ++k) before[k] = {1.0 * k, 2.0, 3.0};
  struct Case {
    int first, last;
  } cases[] = {{0, 2}, {0, 1}, {5, 5}, {3, 0}, {-2, 5}, {0, 31}, {-1, 29} /* 31 points */};
  for (const Case& c : cases) {
    SplineCoefTable coefs = before;
    EXPECT_FALSE(FitSpline(X, Y, c.first, c.last, coefs)) << c.first << ".." << c.last;
    for (int k = 1; k <= 30; ++k) EXPECT_EQ(coefs[k].D1, before[k].D1);
  }
  SplineCoefTable coefs = before;
  EXPECT_TRUE(FitSpline(X, Y, -1, 28, coefs));  // 30 points is the most
}

TEST(LocateKnot, FindsTheIntervalAndHoldsTheEnds) {
  std::array<double, kSplineMaxKnots> knots{};
  knots[0] = 0;
  knots[1] = 1;
  knots[2] = 3;
  knots[3] = 6;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::int16_t count;
    double x;
    int entry;
    double dx;
  } cases[] = {
      {4, 0.0, 1, 0.0},  {4, 0.5, 1, 0.5},  {4, 1.0, 2, 0.0}, {4, 2.0, 2, 1.0}, {4, 5.5, 3, 2.5},
      {4, 6.0, 4, 0.0},  {4, 60.0, 4, 0.0}, {4, -2.0, 1, 0.0}, {4, nan, 1, 0.0}, {1, 7.0, 1, 0.0},
      {0, 1.0, 0, 0.0},  {-3, 1.0, 0, 0.0}, {2, 0.5, 1, 0.5},
  };
  for (const Case& c : cases) {
    const KnotPosition p = LocateKnot(c.count, knots, c.x);
    EXPECT_EQ(p.Entry, c.entry) << c.count << " " << c.x;
    EXPECT_EQ(p.Dx, c.dx) << c.count << " " << c.x;
  }
  // A count above the table is taken as 30; the search stays inside.
  for (int i = 0; i < kSplineMaxKnots; ++i) knots[i] = i;
  EXPECT_EQ(LocateKnot(500, knots, 1000.0).Entry, 30);
}

TEST(EvaluateCurve, OnAKnotGivesTheTableValueAndBeyondTheLastHoldsIt) {
  const Cubic f{0.2, 1.0, -0.3, 0.02};
  SplineCurve curve;
  SplineColumn X;
  Tabulate(f, 0, 8, X, curve.Values);
  ASSERT_TRUE(FitSpline(X, curve.Values, 0, 7, curve.Coefs));
  const KnotSet knots = KnotsOf(X, 0, 8);
  for (int r = 0; r < 8; ++r) {
    const CurvePoint p = EvaluateCurve(curve, 0, knots, X[r]);
    EXPECT_EQ(p.Value, static_cast<double>(curve.Values[r]));
    EXPECT_EQ(p.Slope, curve.Coefs[r + 1].D1);
  }
  for (double beyond : {1e-9, 1.0, 1e6}) {
    const CurvePoint p = EvaluateCurve(curve, 0, knots, X[7] + beyond);
    EXPECT_EQ(p.Value, static_cast<double>(curve.Values[7]));
    EXPECT_EQ(p.Slope, curve.Coefs[8].D1);
  }
  const CurvePoint below = EvaluateCurve(curve, 0, knots, X[0] - 5);
  EXPECT_EQ(below.Value, static_cast<double>(curve.Values[0]));
  const CurvePoint none = EvaluateCurve(curve, 0, KnotSet{}, 1.0);
  EXPECT_EQ(none.Value, 0);
  EXPECT_EQ(none.Slope, 0);
}

}  // namespace
}  // namespace hulvex
