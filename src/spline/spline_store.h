// Tabulated hull curves and their interpolating cubic splines (not-a-knot ends), and the
// evaluation of a curve at a station.
#pragma once

#include <array>
#include <cstdint>

#include "common/check.h"

namespace hulvex {

constexpr int kSplineFirstRow = -1;  // rows of a column run from -1 ...
constexpr int kSplineLastRow = 30;   // ... to 30
constexpr int kSplineMaxKnots = 30;  // a fitted curve has at most 30 knots

// One column of a spline data file: float32 values indexed by row number -1 ... 30.
// Indexing outside those rows is a programming fault (HULVEX_ASSERT).
struct SplineColumn {
  std::array<float, kSplineLastRow - kSplineFirstRow + 1> Rows{};
  float& operator[](int row) { return Rows[Index(row)]; }
  float operator[](int row) const { return Rows[Index(row)]; }

private:
  static std::size_t Index(int row) {
    HULVEX_ASSERT(row >= kSplineFirstRow && row <= kSplineLastRow);
    return static_cast<std::size_t>(row - kSplineFirstRow);
  }
};

// One spline interval, as a Taylor expansion at its left knot.
struct SplineCoef {
  double D1 = 0;  // first derivative at the left knot
  double D2 = 0;  // second derivative there
  double D3 = 0;  // third derivative, constant over the interval
};

// Coefficients of one curve: entry k (1 ... 30) is Entries[k - 1]. Any other entry is a
// programming fault (HULVEX_ASSERT).
struct SplineCoefTable {
  std::array<SplineCoef, kSplineMaxKnots> Entries{};
  SplineCoef& operator[](int k) { return Entries[Index(k)]; }
  const SplineCoef& operator[](int k) const { return Entries[Index(k)]; }

private:
  static std::size_t Index(int k) {
    HULVEX_ASSERT(k >= 1 && k <= kSplineMaxKnots);
    return static_cast<std::size_t>(k - 1);
  }
};

// A tabulated curve and its fit.
struct SplineCurve {
  SplineColumn Values;
  SplineCoefTable Coefs;
};

// The stations of a curve's knots: knot k (1 ... Count) is Knots[k - 1].
struct KnotSet {
  std::array<double, kSplineMaxKnots> Knots{};
  std::int16_t Count = 0;
};

// What the spline data files put in place. Everything starts at zero; a load overwrites what its
// layout handles and leaves the rest.
struct SplineStore {
  SplineColumn StationX;
  SplineCurve KeelCurve;
  SplineCurve ChineBeamCurve;
  SplineCurve InnerBeamCurve;
  SplineCurve ChineHeightCurve;
  SplineCurve InnerHeightCurve;
  SplineCurve GunwaleCurve;
  SplineCurve SheerCurve;
  SplineCurve KeelSlopeCurve;
  SplineCurve ChineSlopeCurve;
  SplineCurve ChineAngleCurve;
  std::int16_t LastRow = 0;
  KnotSet GunwaleKnots;  // rows -1 ... LastRow
  KnotSet BottomKnots;   // rows 0 ... LastRow
  KnotSet InnerKnots;    // rows 1 ... LastRow (inner chine layout)
  float StemEndX = 0;    // station of row 1 (inner chine layout)
};

// Fits the not-a-knot cubic spline through rows first ... last of (X, Y) and writes entries
// 1 ... M (M = last - first + 1) of `coefs`; entry M gets only D1, the slope at the last knot.
// Needs strictly increasing X over those rows. Returns false, leaving `coefs` untouched, when a
// pivot falls below 1e-80 in magnitude (always so for three points) or when the rows are not
// 3 ... 30 rows inside -1 ... 30.
bool FitSpline(const SplineColumn& X, const SplineColumn& Y, int first, int last, SplineCoefTable& coefs);

struct KnotPosition {
  std::int16_t Entry = 0;  // 1 ... count; 0 only for an empty knot set
  double Dx = 0;           // offset from that knot
};

// The entry whose interval holds x and the offset from its knot. A station on a knot gives that
// knot with offset 0; a station beyond the last knot, below the first one, or NaN is held at that
// knot with offset 0. A count of 0 or less gives entry 0; a count above 30 is taken as 30.
KnotPosition LocateKnot(std::int16_t count, const std::array<double, kSplineMaxKnots>& knots, double x);

// y0 + D1 dx + D2 dx^2 / 2 + D3 dx^3 / 6, in the fixed evaluation order.
double SplineValue(const SplineCoef& coef, double y0, double dx);
// D1 + D2 dx + D3 dx^2 / 2.
double SplineSlope(const SplineCoef& coef, double dx);

struct CurvePoint {
  double Value = 0;
  double Slope = 0;
};

// The value and slope of `curve` at x, fitted from row `firstRow` (-1, 0 or 1) on `knots`.
// An empty knot set gives 0 and 0.
CurvePoint EvaluateCurve(const SplineCurve& curve, int firstRow, const KnotSet& knots, double x);

}  // namespace hulvex
