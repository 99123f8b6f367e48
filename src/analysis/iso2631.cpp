#include "analysis/iso2631.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <numeric>

#include "analysis/fft_filter.h"
#include "common/number_format.h"

namespace hulvex::analysis {

namespace {
using cd = std::complex<double>;

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kLowPassHz = 100.0;
constexpr double kPaddingSeconds = 10.0;  // the high pass's response falls below 1e-7 within it

// p0 + p1 s + p2 s^2 at s = i omega.
struct Quadratic {
  double p0, p1, p2;
  cd At(double omega) const { return {p0 - p2 * omega * omega, p1 * omega}; }
};

struct Section {
  Quadratic num, den;
};

constexpr double Omega(double hz) { return kTwoPi * hz; }

constexpr Section HighPass() {
  const double w = Omega(0.4), q = 1.0 / std::numbers::sqrt2;
  return {{0, 0, 1}, {w * w, w / q, 1}};
}
constexpr Section LowPass() {
  const double w = Omega(kLowPassHz), q = 1.0 / std::numbers::sqrt2;
  return {{w * w, 0, 0}, {w * w, w / q, 1}};
}
constexpr Section Transition() {
  const double w3 = Omega(12.5), w4 = Omega(12.5), q4 = 0.63;
  return {{1, 1 / w3, 0}, {1, 1 / (q4 * w4), 1 / (w4 * w4)}};
}
constexpr Section UpwardStep() {
  const double w5 = Omega(2.37), q5 = 0.91, w6 = Omega(3.35), q6 = 0.91;
  return {{w5 * w5, w5 / q5, 1}, {w6 * w6, w6 / q6, 1}};
}

cd Product(cd a, cd b) { return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()}; }

// The median of the step intervals of `time` (at least 2 non-decreasing times), found in `d`
// (whose contents it replaces).
double MedianInterval(std::span<const double> time, std::vector<double>& d) {
  d.resize(time.size() - 1);
  for (std::size_t i = 0; i + 1 < time.size(); ++i) d[i] = time[i + 1] - time[i];
  const std::size_t mid = d.size() / 2;
  std::nth_element(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(mid), d.end());
  if (d.size() % 2 == 1) return d[mid];
  const double below = *std::max_element(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(mid));
  return 0.5 * (below + d[mid]);
}

// ResampleOnMedianInterval of a series known to be usable.
Maybe<UniformSeries> ResampleUsable(const Series& series) {
  using Result = Maybe<UniformSeries>;
  const std::span<const double> t = series.Time, v = series.Value;
  if (t.size() < 2) return Result::Missing("the window holds " + std::to_string(t.size()) + " step; resampling needs 2");
  // The intervals' array becomes the grid: most grids are about as long as the series.
  std::vector<double> grid;
  grid.reserve(t.size());
  const double interval = MedianInterval(t, grid);
  if (!(interval > 0)) return Result::Missing("the median step interval is 0 (most steps share their time)");
  const double span = t.back() - t.front();
  if (!std::isfinite(span) || !std::isfinite(interval)) return Result::Missing("the step times span no finite time");
  const double samples = std::floor(span / interval + 1e-6) + 1;
  if (samples > static_cast<double>(kMaxSamplesPerStep * t.size())) {
    return Result::Missing("the median step interval " + FormatSeconds(interval) + " would turn " + std::to_string(t.size()) +
                           " steps into " + std::to_string(static_cast<std::uint64_t>(samples)) +
                           " samples; the step times are too uneven");
  }
  if (samples > static_cast<double>(kMaxSamples)) {
    return Result::Missing("the window gives " + std::to_string(static_cast<std::uint64_t>(samples)) +
                           " samples, more than " + std::to_string(kMaxSamples));
  }
  UniformSeries u;
  u.Start = t.front();
  u.Interval = interval;
  u.Value = std::move(grid);
  u.Value.resize(static_cast<std::size_t>(samples));
  std::size_t j = 0;
  double slope = t.size() > 1 && t[1] > t[0] ? (v[1] - v[0]) / (t[1] - t[0]) : 0.0;
  for (std::size_t k = 0; k < u.Value.size(); ++k) {
    const double at = u.Start + static_cast<double>(k) * interval;
    if (j + 1 < t.size() && t[j + 1] <= at) {
      while (j + 1 < t.size() && t[j + 1] <= at) ++j;
      if (j + 1 < t.size()) slope = (v[j + 1] - v[j]) / (t[j + 1] - t[j]);
    }
    u.Value[k] = j + 1 == t.size() ? v[j] : v[j] + slope * (at - t[j]);
  }
  return Result::Of(std::move(u));
}

// WeightWk, replacing the values by the weighted ones.
void WeightWkInPlace(std::span<double> x, double interval) {
  const std::size_t n = x.size();
  if (n == 0) return;
  if (!(interval > 0) || !std::isfinite(interval)) {
    std::fill(x.begin(), x.end(), 0.0);
    return;
  }
  const double mean = std::accumulate(x.begin(), x.end(), 0.0) / static_cast<double>(n);
  for (double& a : x) a -= mean;
  const auto padding = static_cast<std::size_t>(std::min(std::ceil(kPaddingSeconds / interval), 8.0 * static_cast<double>(n)));
  const FftFilter filter(n + padding);
  const bool lowPass = kLowPassHz <= 0.5 / interval;
  const double binHz = 1.0 / (static_cast<double>(filter.Size()) * interval);
  const auto gain = [&](std::size_t bin) { return WkResponse(static_cast<double>(bin) * binHz, lowPass); };
  filter.Filter(x, gain);
}

}  // namespace

std::complex<double> WkResponse(double frequencyHz, bool withLowPass) {
  // The product of the sections' numerators over the product of their denominators, one division.
  const double w = Omega(frequencyHz);
  static constexpr Section kHigh = HighPass(), kTransition = Transition(), kStep = UpwardStep(), kLow = LowPass();
  cd num = Product(Product(kHigh.num.At(w), kTransition.num.At(w)), kStep.num.At(w));
  cd den = Product(Product(kHigh.den.At(w), kTransition.den.At(w)), kStep.den.At(w));
  if (withLowPass) {
    num *= kLow.num.p0;  // the low pass's numerator is the constant omega2^2
    den = Product(den, kLow.den.At(w));
  }
  // num / den without the library's special cases for infinities (den is never 0 at a finite f).
  const double scale = 1.0 / std::norm(den);
  return {(num.real() * den.real() + num.imag() * den.imag()) * scale,
          (num.imag() * den.real() - num.real() * den.imag()) * scale};
}

Maybe<UniformSeries> ResampleOnMedianInterval(const Series& series) {
  if (std::string problem = SeriesProblem(series); !problem.empty()) return Maybe<UniformSeries>::Missing(problem);
  return ResampleUsable(series);
}


std::vector<double> WeightWk(std::span<const double> values, double interval) {
  std::vector<double> x(values.begin(), values.end());
  WeightWkInPlace(x, interval);
  return x;
}

Maybe<IsoFigures> ComputeIso2631(const Series& accelerationMs2) {
  using Result = Maybe<IsoFigures>;
  if (std::string problem = SeriesProblem(accelerationMs2); !problem.empty()) return Result::Missing(problem);
  const std::span<const double> t = accelerationMs2.Time;
  if (t.empty()) return Result::Missing("the window holds no step");
  if (t.back() - t.front() < kIsoMinDuration) {
    return Result::Missing("the window lasts " + FormatSeconds(t.back() - t.front()) + ", less than " +
                           FormatSeconds(kIsoMinDuration));
  }
  Maybe<UniformSeries> grid = ResampleUsable(accelerationMs2);
  if (!grid.has_value()) return Result::Missing(grid.Reason);
  UniformSeries& u = *grid.Value;
  if (u.Value.size() < kIsoMinSamples) {
    return Result::Missing("the window gives " + std::to_string(u.Value.size()) + " samples, fewer than " +
                           std::to_string(kIsoMinSamples));
  }

  std::vector<double> aw = std::move(u.Value);
  WeightWkInPlace(aw, u.Interval);
  const auto n = static_cast<double>(aw.size());
  double squares = 0, fourths = 0, peak = 0;
  for (double a : aw) {
    const double a2 = a * a;
    squares += a2;
    fourths += a2 * a2;
    peak = std::max(peak, std::abs(a));
  }
  // Running r.m.s. over the preceding second: the largest mean of `span` successive squares.
  const std::size_t span = std::clamp<std::size_t>(static_cast<std::size_t>(std::lround(kRunningRmsSpan / u.Interval)),
                                                   1, aw.size());
  double window = 0, largest = 0;
  for (std::size_t i = 0; i < aw.size(); ++i) {
    window += aw[i] * aw[i];
    if (i >= span) window -= aw[i - span] * aw[i - span];
    if (i + 1 >= span) largest = std::max(largest, window);
  }

  IsoFigures f;
  f.SampleInterval = u.Interval;
  f.Samples = aw.size();
  f.Duration = t.back() - t.front();
  f.WeightedRms = std::sqrt(squares / n);
  f.Vdv = std::pow(fourths * u.Interval, 0.25);
  f.Mtvv = std::sqrt(std::max(largest, 0.0) / static_cast<double>(span));
  if (f.WeightedRms > 0) {
    f.CrestFactor = Maybe<double>::Of(peak / f.WeightedRms);
  } else {
    f.CrestFactor = Maybe<double>::Missing("the weighted acceleration is 0 throughout");
  }
  if (f.Vdv > 0) {
    const double hours = f.Duration / 3600.0;
    f.HoursToVdvAction = Maybe<double>::Of(std::pow(kVdvActionValue / f.Vdv, 4) * hours);
    f.HoursToVdvLimit = Maybe<double>::Of(std::pow(kVdvLimitValue / f.Vdv, 4) * hours);
  } else {
    const std::string reason = "the vibration dose value is 0: the motion never reaches it";
    f.HoursToVdvAction = Maybe<double>::Missing(reason);
    f.HoursToVdvLimit = Maybe<double>::Missing(reason);
  }
  return Result::Of(std::move(f));
}

}  // namespace hulvex::analysis
