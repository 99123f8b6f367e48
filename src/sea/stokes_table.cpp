#include "sea/stokes_table.h"

#include <cmath>
#include <limits>

#include "common/constants.h"

namespace hulvex {
namespace {

constexpr double kThetaStep = kPi12 / 120;  // 0.026179938779916666
static_assert(kThetaStep == 0.026179938779916666);

// x rounded to the nearest integer, halves to the even neighbour; x must lie in [0, 240].
int RoundHalfEven(double x) {
  const double f = std::floor(x);
  const double d = x - f;
  int i = static_cast<int>(f);
  if (d > 0.5 || (d == 0.5 && i % 2 != 0)) ++i;
  return i;
}

}  // namespace

void BuildStokesTable(const RunParameters& params, SeaConstants& sea) {
  const int n = params.StokesN;
  if (n < 1 || n > kMaxStokesTerms) return;
  const double lambda = sea.WaveLength;
  const double e = kPi12 * static_cast<double>(params.WvSteep);
  const double c0 = std::sqrt(kHalfG * lambda * kInvPi);

  double b[kMaxStokesTerms + 1] = {};  // b[j] = B_j, j = 1 ... 9
  double g = 1.0;
  if (n == 1) {
    b[1] = e;
  } else {
    double ep[11];  // ep[m] = e^m
    ep[0] = 1.0;
    for (int m = 1; m <= 10; ++m) ep[m] = ep[m - 1] * e;
    b[1] = ep[1] - 1.5 * ep[3] - 0.041666666666666664 * ep[5] - 2.0881944444444445 * ep[7] -
           5.348277116402117 * ep[9];
    b[2] = 2 * ep[2] - 5 * ep[4] + 3.1666666666666665 * ep[6] - 7.075 * ep[8] - 9.858154761904762 * ep[10];
    b[3] = 4.5 * ep[3] - 15.5 * ep[5] + 18.833333333333332 * ep[7] - 29.528472222222224 * ep[9];
    b[4] = 10.666666666666666 * ep[4] - 46.611111111111114 * ep[6] + 81.76574074074074 * ep[8];
    b[5] = 26.041666666666668 * ep[5] - 137.66319444444446 * ep[7] + 312.2749421296296 * ep[9];
    b[6] = 64.8 * ep[6] - 401.62333333333333 * ep[8];
    b[7] = 163.4013888888889 * ep[7] - 1161.2237731481482 * ep[9];
    b[8] = 416.1015873015873 * ep[8];
    b[9] = 1067.6270089285715 * ep[9];
    g = 1 + ep[2] + 0.5 * ep[4] + 0.25 * ep[6] - 0.4888888888888889 * ep[8] - 4.566230158730159 * ep[10];
  }

  sea.Celerity = std::sqrt(g) * c0;
  if (!params.HeadSea) sea.Celerity = -sea.Celerity;

  for (int i = 0; i < kStokesPoints; ++i) {
    const double theta = kPi12 + i * kThetaStep;
    double t[kMaxStokesTerms + 1];
    for (int j = 1; j <= kMaxStokesTerms; ++j) t[j] = b[j] * std::cos(j * theta) / j;
    double s = 0.0;
    for (int j = 1; j <= n; ++j) s += t[j];
    double p = theta;
    for (int j = 1; j <= n - 1; ++j) p += t[j];
    sea.Stokes.StokesZ[i] = static_cast<float>(s * 0.5 * kInvPi * lambda);
    sea.Stokes.StokesPhase[i] = static_cast<float>(p * kInv2Pi - 0.5);
  }
}

double StokesLookup(const StokesTable& table, double p) {
  if (!std::isfinite(p)) return std::numeric_limits<double>::quiet_NaN();
  const auto& ph = table.StokesPhase;
  const auto& z = table.StokesZ;
  constexpr int kLast = kStokesPoints - 1;

  const double x = kLast * p;
  const int i = x <= 0 ? 0 : x >= kLast ? kLast : RoundHalfEven(x);
  if (ph[i] == p) return z[i];

  int lo = i == 0 ? 0 : i - 1;
  int hi = i == 0 ? 1 : i;
  if (ph[hi] >= p) {
    while (ph[lo] > p && lo > 0) {
      hi = lo;
      --lo;
    }
  } else {
    while (ph[hi] < p && hi < kLast) {
      lo = hi;
      ++hi;
    }
  }
  const double f = (p - ph[lo]) / (static_cast<double>(ph[hi]) - ph[lo]);
  return f * z[hi] + (1 - f) * z[lo];
}

}  // namespace hulvex
