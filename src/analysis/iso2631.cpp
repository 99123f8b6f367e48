#include "analysis/iso2631.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <numeric>

#include "analysis/real_fft.h"

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

std::string Seconds(double t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.6g s", t);
  return buf;
}

// The median of the step intervals of `time` (at least 2 non-decreasing times).
double MedianInterval(std::span<const double> time) {
  std::vector<double> d(time.size() - 1);
  for (std::size_t i = 0; i + 1 < time.size(); ++i) d[i] = time[i + 1] - time[i];
  const std::size_t mid = d.size() / 2;
  std::nth_element(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(mid), d.end());
  if (d.size() % 2 == 1) return d[mid];
  const double below = *std::max_element(d.begin(), d.begin() + static_cast<std::ptrdiff_t>(mid));
  return 0.5 * (below + d[mid]);
}

}  // namespace

std::complex<double> WkResponse(double frequencyHz, bool withLowPass) {
  const double w = Omega(frequencyHz);
  static constexpr Section kAlways[] = {HighPass(), Transition(), UpwardStep()};
  cd num = 1.0, den = 1.0;
  for (const Section& s : kAlways) {
    num = Product(num, s.num.At(w));
    den = Product(den, s.den.At(w));
  }
  if (withLowPass) {
    static constexpr Section kLow = LowPass();
    num = Product(num, kLow.num.At(w));
    den = Product(den, kLow.den.At(w));
  }
  return num / den;
}

Maybe<UniformSeries> ResampleOnMedianInterval(const Series& series) {
  using Result = Maybe<UniformSeries>;
  if (std::string problem = SeriesProblem(series); !problem.empty()) return Result::Missing(problem);
  const std::span<const double> t = series.Time, v = series.Value;
  if (t.size() < 2) return Result::Missing("the window holds " + std::to_string(t.size()) + " step; resampling needs 2");
  const double interval = MedianInterval(t);
  if (!(interval > 0)) return Result::Missing("the median step interval is 0 (most steps share their time)");
  const double span = t.back() - t.front();
  const double samples = std::floor(span / interval + 1e-6) + 1;
  if (samples > static_cast<double>(kMaxSamplesPerStep * t.size())) {
    return Result::Missing("the median step interval " + Seconds(interval) + " would turn " + std::to_string(t.size()) +
                           " steps into " + std::to_string(static_cast<std::uint64_t>(samples)) +
                           " samples; the step times are too uneven");
  }
  UniformSeries u;
  u.Start = t.front();
  u.Interval = interval;
  u.Value.resize(static_cast<std::size_t>(samples));
  std::size_t j = 0;
  for (std::size_t k = 0; k < u.Value.size(); ++k) {
    const double at = u.Start + static_cast<double>(k) * interval;
    while (j + 1 < t.size() && t[j + 1] <= at) ++j;
    if (j + 1 == t.size()) {
      u.Value[k] = v[j];
    } else {
      u.Value[k] = v[j] + (v[j + 1] - v[j]) * (at - t[j]) / (t[j + 1] - t[j]);
    }
  }
  return Result::Of(std::move(u));
}

std::vector<double> WeightWk(std::span<const double> values, double interval) {
  const std::size_t n = values.size();
  if (n == 0 || !(interval > 0)) return std::vector<double>(n, 0.0);
  const double mean = std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(n);
  const auto padding = static_cast<std::size_t>(std::ceil(kPaddingSeconds / interval));
  const RealFft fft(RealFft::SizeFor(n + padding));
  const std::size_t size = fft.Size();

  std::vector<double> x(size, 0.0);
  std::transform(values.begin(), values.end(), x.begin(), [mean](double a) { return a - mean; });
  std::vector<cd> spectrum(size / 2 + 1);
  fft.Forward(x, spectrum);
  const bool lowPass = kLowPassHz <= 0.5 / interval;
  const double binHz = 1.0 / (static_cast<double>(size) * interval);
  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    spectrum[k] = Product(spectrum[k], WkResponse(static_cast<double>(k) * binHz, lowPass));
  }
  fft.Inverse(spectrum, x);
  x.resize(n);
  return x;
}

Maybe<IsoFigures> ComputeIso2631(const Series& accelerationMs2) {
  using Result = Maybe<IsoFigures>;
  if (std::string problem = SeriesProblem(accelerationMs2); !problem.empty()) return Result::Missing(problem);
  const std::span<const double> t = accelerationMs2.Time;
  if (t.empty()) return Result::Missing("the window holds no step");
  if (t.back() - t.front() < kIsoMinDuration) {
    return Result::Missing("the window lasts " + Seconds(t.back() - t.front()) + ", less than " +
                           Seconds(kIsoMinDuration));
  }
  Maybe<UniformSeries> grid = ResampleOnMedianInterval(accelerationMs2);
  if (!grid.has_value()) return Result::Missing(grid.Reason);
  const UniformSeries& u = *grid;
  if (u.Value.size() < kIsoMinSamples) {
    return Result::Missing("the window gives " + std::to_string(u.Value.size()) + " samples, fewer than " +
                           std::to_string(kIsoMinSamples));
  }

  const std::vector<double> aw = WeightWk(u.Value, u.Interval);
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
