#include "analysis/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <span>
#include <vector>

namespace hulvex::analysis {
namespace {
constexpr double kPi = std::numbers::pi;

std::vector<double> Noise(std::size_t n, double sigma, unsigned seed) {
  std::mt19937_64 gen(seed);
  std::normal_distribution<double> normal(0, sigma);
  std::vector<double> v(n);
  for (double& x : v) x = normal(gen);
  return v;
}

WelchSpectra Welch(const std::vector<std::vector<double>>& series, double fs, std::size_t segment, std::optional<std::size_t> reference = {}) {
  const std::vector<std::span<const double>> views(series.begin(), series.end());
  return ComputeWelch(views, fs, segment, reference);
}

// A sine at a bin frequency on an offset: m0 is its variance A^2 / 2 and Tp its period, whatever
// the phase, the offset and a length that leaves samples after the last whole segment.
TEST(Spectrum, SineGivesItsVarianceInM0AndItsPeriodInTp) {
  struct Case {
    double amplitude, offset, fs;
    std::size_t bin, segment, samples;
  };
  const Case cases[] = {{1.5, 3, 20, 10, 256, 4096}, {0.2, -1, 100, 37, 1024, 10'000}, {3, 0, 1, 5, 64, 640}};
  for (const Case& c : cases) {
    const double f = static_cast<double>(c.bin) * c.fs / static_cast<double>(c.segment);
    std::vector<double> x(c.samples);
    for (std::size_t j = 0; j < x.size(); ++j) x[j] = c.offset + c.amplitude * std::sin(2 * kPi * f * static_cast<double>(j) / c.fs + 0.7);
    const WelchSpectra w = Welch({x}, c.fs, c.segment);
    const SpectralFigures g = FiguresOf(w.Frequencies, w.Power[0], c.fs / static_cast<double>(c.segment));
    const double variance = c.amplitude * c.amplitude / 2;
    EXPECT_NEAR(g.M0, variance, 1e-9 * variance) << c.bin;
    EXPECT_NEAR(g.SignificantDoubleAmplitude, 4 * std::sqrt(variance), 1e-8 * c.amplitude);
    ASSERT_TRUE(g.Tp.has_value());
    EXPECT_DOUBLE_EQ(*g.Tp, 1 / f);
    ASSERT_TRUE(g.Tz.has_value());  // a line three bins wide: Tz near the period
    EXPECT_NEAR(*g.Tz, 1 / f, 0.02 / f);
  }
}

// Gaussian white noise of variance s^2 has the one-sided density 2 s^2 / fs at every frequency.
TEST(Spectrum, WhiteNoiseHasAFlatDensityOfTheRightLevel) {
  struct Case {
    double sigma, fs;
    std::size_t segment;
  };
  for (const Case& c : {Case{2, 50, 256}, Case{0.5, 1, 64}}) {
    const WelchSpectra w = Welch({Noise(1 << 17, c.sigma, 7)}, c.fs, c.segment);
    const double level = 2 * c.sigma * c.sigma / c.fs;
    double sum = 0;
    const std::size_t inner = c.segment / 2 - 1;  // 0 Hz and the Nyquist frequency are half-width bins
    for (std::size_t k = 1; k <= inner; ++k) {
      sum += w.Power[0][k];
      EXPECT_NEAR(w.Power[0][k], level, 0.25 * level) << k;
    }
    EXPECT_NEAR(sum / static_cast<double>(inner), level, 0.015 * level);
  }
}

// The FFTW path against the definition evaluated with a direct O(n^2) transform: segment count,
// window, mean removal, scaling and the half-weight end bins, for power and cross densities.
TEST(Spectrum, WelchEqualsTheDefinitionWithADirectTransform) {
  const std::size_t n = 300, segment = 64, bins = segment / 2 + 1;
  const double fs = 7;
  const std::vector<std::vector<double>> series{Noise(n, 1, 1), Noise(n, 3, 2)};
  const WelchSpectra w = Welch(series, fs, segment, 0);
  ASSERT_EQ(w.Segments, 8u);  // starts 0, 32, ..., 224

  double windowPower = 0;
  std::vector<double> window(segment);
  for (std::size_t j = 0; j < segment; ++j) {
    window[j] = 0.5 - 0.5 * std::cos(2 * kPi * static_cast<double>(j) / segment);
    windowPower += window[j] * window[j];
  }
  std::vector<std::vector<double>> power(2, std::vector<double>(bins));
  std::vector<std::complex<double>> cross(bins);
  for (std::size_t start = 0; start + segment <= n; start += segment / 2) {
    std::vector<std::vector<std::complex<double>>> X(2, std::vector<std::complex<double>>(bins));
    for (std::size_t s = 0; s < 2; ++s) {
      double mean = 0;
      for (std::size_t j = 0; j < segment; ++j) mean += series[s][start + j] / segment;
      for (std::size_t k = 0; k < bins; ++k) {
        for (std::size_t j = 0; j < segment; ++j) {
          X[s][k] += (series[s][start + j] - mean) * window[j] * std::polar(1.0, -2 * kPi * double(j * k) / segment);
        }
        power[s][k] += std::norm(X[s][k]);
      }
    }
    for (std::size_t k = 0; k < bins; ++k) cross[k] += std::conj(X[0][k]) * X[1][k];
  }
  for (std::size_t k = 0; k < bins; ++k) {
    const double c = (k == 0 || k == bins - 1 ? 1.0 : 2.0) / (fs * windowPower * 8);
    EXPECT_DOUBLE_EQ(w.Frequencies[k], k * fs / segment);
    for (std::size_t s = 0; s < 2; ++s) EXPECT_NEAR(w.Power[s][k], c * power[s][k], 1e-10 * c * power[s][k]) << k;
    EXPECT_NEAR(std::abs(w.Cross[1][k] - c * cross[k]), 0, 1e-10 * std::abs(c * cross[k])) << k;
    EXPECT_NEAR(std::abs(w.Cross[0][k] - w.Power[0][k]), 0, 1e-12 * w.Power[0][k]);
  }
}

// x = a eta delayed by d samples: gain |a|, phase -360 f d / fs (and 180 more for a < 0), coherence 1.
TEST(Spectrum, CrossSpectrumOfADelayedScaledCopyGivesItsTransferFunction) {
  struct Case {
    double gain;
    std::size_t delay, segment;
  };
  const double fs = 40;
  for (const Case& c : {Case{2.5, 3, 1024}, Case{0.4, 0, 256}, Case{-1.5, 1, 512}}) {
    const std::vector<double> source = Noise((1 << 16) + c.delay, 1, 11);
    std::vector<double> eta(source.begin() + static_cast<std::ptrdiff_t>(c.delay), source.end()), x(eta.size());
    for (std::size_t j = 0; j < x.size(); ++j) x[j] = c.gain * source[j];
    const WelchSpectra w = Welch({eta, x}, fs, c.segment, 0);
    const TransferFunction t = TransferOf(w.Power[0], w.Power[1], w.Cross[1]);
    std::size_t reported = 0;
    for (std::size_t k = 1; k < w.Frequencies.size(); ++k) {
      if (!t.Gain[k]) continue;
      ++reported;
      EXPECT_NEAR(*t.Gain[k], std::abs(c.gain), 0.02 * std::abs(c.gain)) << k;
      double expected = -360 * w.Frequencies[k] * static_cast<double>(c.delay) / fs + (c.gain < 0 ? 180 : 0);
      const double off = std::remainder(*t.PhaseDeg[k] - expected, 360.0);
      EXPECT_NEAR(off, 0, 1.5) << k;
      EXPECT_GT(*t.PhaseDeg[k], -180);
      EXPECT_LE(*t.PhaseDeg[k], 180);
      EXPECT_NEAR(*t.Coherence[k], 1, c.delay == 0 ? 1e-12 : 0.02) << k;
    }
    EXPECT_GT(reported, w.Frequencies.size() * 9 / 10);
  }
}

}  // namespace
}  // namespace hulvex::analysis
