#include "analysis/spectrum.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/fft_filter.h"
#include "common/check.h"

namespace hulvex::analysis {

SampleGrid GridOf(std::span<const double> time) {
  HULVEX_ASSERT(time.size() >= 2);
  SampleGrid g;
  g.First = time.front();
  g.Count = time.size();
  g.Interval = (time.back() - time.front()) / static_cast<double>(time.size() - 1);
  const double tolerance = 1e-6 * g.Interval;
  for (std::size_t i = 1; i < time.size() && !g.Resampled; ++i) {
    g.Resampled = std::abs((time[i] - time[i - 1]) - g.Interval) > tolerance;
  }
  return g;
}

void SampleOnGrid(std::span<const double> time, std::span<const double> values, const SampleGrid& grid,
                  std::span<double> out) {
  HULVEX_ASSERT(time.size() == values.size() && out.size() == grid.Count && grid.Count == time.size());
  if (!grid.Resampled) {
    std::copy(values.begin(), values.end(), out.begin());
    return;
  }
  std::size_t j = 0;  // time[j] <= t < time[j + 1], or j the last step
  for (std::size_t i = 0; i < grid.Count; ++i) {
    const double t = i + 1 == grid.Count ? time.back() : grid.First + static_cast<double>(i) * grid.Interval;
    while (j + 1 < time.size() && time[j + 1] <= t) ++j;
    if (j + 1 == time.size() || time[j] == t) {
      out[i] = values[j];
    } else {
      const double u = (t - time[j]) / (time[j + 1] - time[j]);
      out[i] = values[j] + u * (values[j + 1] - values[j]);
    }
  }
}

bool IsSegmentLength(std::size_t n) { return n >= kLeastSegmentSamples && (n & (n - 1)) == 0; }

namespace {
std::size_t PowerOfTwoNotAbove(std::size_t n) {
  std::size_t p = 1;
  while (p <= n / 2) p *= 2;
  return p;
}
}  // namespace

Maybe<std::size_t> SegmentLength(std::size_t samples, std::size_t asked) {
  if (samples < kLeastSpectrumSamples) {
    return Maybe<std::size_t>::Missing(std::to_string(samples) + " samples in the window; a spectrum needs at least " +
                                       std::to_string(kLeastSpectrumSamples));
  }
  std::size_t length = asked;
  if (length == 0) length = std::clamp(PowerOfTwoNotAbove(samples / 8), kLeastSpectrumSamples, kLongestDefaultSegment);
  HULVEX_ASSERT(IsSegmentLength(length));
  return Maybe<std::size_t>::Of(std::min(length, PowerOfTwoNotAbove(samples)));
}

WelchSpectra WelchLayout(std::size_t samples, double sampleRate, std::size_t segment) {
  HULVEX_ASSERT(IsSegmentLength(segment) && sampleRate > 0 && samples >= segment);
  WelchSpectra w;
  w.SampleRate = sampleRate;
  w.SegmentSamples = segment;
  w.Segments = (samples - segment) / (segment / 2) + 1;
  for (std::size_t k = 0; k <= segment / 2; ++k) {
    w.Frequencies.push_back(static_cast<double>(k) * sampleRate / static_cast<double>(segment));
  }
  return w;
}

WelchSpectra ComputeWelch(std::span<const std::span<const double>> series, double sampleRate, std::size_t segment,
                          std::optional<std::size_t> reference) {
  HULVEX_ASSERT(!series.empty() && (!reference || *reference < series.size()));
  const std::size_t n = series.front().size();
  for (const auto& s : series) HULVEX_ASSERT(s.size() == n);
  const std::size_t bins = segment / 2 + 1, step = segment / 2;
  WelchSpectra w = WelchLayout(n, sampleRate, segment);
  w.Power.assign(series.size(), std::vector<double>(bins, 0.0));
  if (reference) w.Cross.assign(series.size(), std::vector<std::complex<double>>(bins));

  std::vector<double> window(segment);
  double windowPower = 0;
  for (std::size_t j = 0; j < segment; ++j) {
    window[j] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(j) / static_cast<double>(segment));
    windowPower += window[j] * window[j];
  }

  const FftFilter fft(segment);
  std::vector<double> part(segment);
  std::vector<std::vector<std::complex<double>>> transforms(series.size(), std::vector<std::complex<double>>(bins));
  for (std::size_t s = 0; s < w.Segments; ++s) {
    const std::size_t begin = s * step;
    for (std::size_t i = 0; i < series.size(); ++i) {
      const std::span<const double> values = series[i].subspan(begin, segment);
      double mean = 0;
      for (double v : values) mean += v;
      mean /= static_cast<double>(segment);
      for (std::size_t j = 0; j < segment; ++j) part[j] = (values[j] - mean) * window[j];
      fft.Transform(part, transforms[i]);
      for (std::size_t k = 0; k < bins; ++k) w.Power[i][k] += std::norm(transforms[i][k]);
    }
    if (!reference) continue;
    const std::vector<std::complex<double>>& r = transforms[*reference];
    for (std::size_t i = 0; i < series.size(); ++i) {
      for (std::size_t k = 0; k < bins; ++k) w.Cross[i][k] += std::conj(r[k]) * transforms[i][k];
    }
  }

  // C = 2 / (fs sum w^2) inside, half of it at 0 Hz and at the Nyquist frequency; over the segments' mean.
  const double scale = 2.0 / (sampleRate * windowPower * static_cast<double>(w.Segments));
  auto factor = [&](std::size_t k) { return k == 0 || k + 1 == bins ? scale / 2 : scale; };
  for (std::size_t i = 0; i < series.size(); ++i) {
    for (std::size_t k = 0; k < bins; ++k) {
      w.Power[i][k] *= factor(k);
      if (reference) w.Cross[i][k] *= factor(k);
    }
  }
  return w;
}

SpectralFigures FiguresOf(std::span<const double> frequencies, std::span<const double> power, double binWidth) {
  HULVEX_ASSERT(frequencies.size() == power.size());
  SpectralFigures f;
  std::size_t peak = 0;
  for (std::size_t k = 0; k < power.size(); ++k) {
    const double fk = frequencies[k], area = power[k] * binWidth;
    f.M0 += area;
    f.M1 += fk * area;
    f.M2 += fk * fk * area;
    f.M4 += fk * fk * fk * fk * area;
    if (k >= 1 && (peak == 0 || power[k] > power[peak])) peak = k;
  }
  f.SignificantDoubleAmplitude = 4 * std::sqrt(f.M0);
  f.Tz = f.M2 > 0 ? Maybe<double>::Of(std::sqrt(f.M0 / f.M2)) : Maybe<double>::Missing("m2 is 0");
  f.Tp = peak > 0 && power[peak] > 0 ? Maybe<double>::Of(1 / frequencies[peak])
                                     : Maybe<double>::Missing("no density above 0 Hz");
  f.Bandwidth = f.M0 > 0 && f.M4 > 0
                    ? Maybe<double>::Of(std::sqrt(std::max(0.0, 1 - f.M2 * f.M2 / (f.M0 * f.M4))))
                    : Maybe<double>::Missing("m0 m4 is 0");
  return f;
}

TransferFunction TransferOf(std::span<const double> referencePower, std::span<const double> power,
                            std::span<const std::complex<double>> cross) {
  HULVEX_ASSERT(referencePower.size() == power.size() && cross.size() == power.size());
  const std::size_t bins = power.size();
  TransferFunction t;
  t.Gain.resize(bins);
  t.PhaseDeg.resize(bins);
  t.Coherence.resize(bins);
  const double largest = referencePower.empty() ? 0 : *std::max_element(referencePower.begin(), referencePower.end());
  for (std::size_t k = 0; k < bins; ++k) {
    const double r = referencePower[k];
    if (!(r > 0) || r < 0.01 * largest) continue;
    const double magnitude = std::abs(cross[k]);
    t.Gain[k] = magnitude / r;
    double degrees = std::arg(cross[k]) * 180 / std::numbers::pi;
    if (degrees <= -180) degrees += 360;
    t.PhaseDeg[k] = degrees;
    if (power[k] > 0) t.Coherence[k] = magnitude * magnitude / (r * power[k]);
  }
  return t;
}

}  // namespace hulvex::analysis
