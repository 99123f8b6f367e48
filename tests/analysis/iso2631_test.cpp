#include "analysis/iso2631.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "analysis/fft_filter.h"

namespace hulvex::analysis {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(Iso2631, WkMagnitudeAtTheReferenceFrequencies) {
  const std::pair<double, double> reference[] = {{0.5, 0.418}, {1, 0.482}, {4, 0.967}, {6.3, 1.054}, {12.5, 0.902}};
  for (const auto& [f, gain] : reference) EXPECT_NEAR(std::abs(WkResponse(f)), gain, 0.0005) << f << " Hz";
  EXPECT_EQ(std::abs(WkResponse(0)), 0.0);
}

// A sine of amplitude a at f Hz, sampled every dt s from 0 to `seconds` inclusive.
struct Sine {
  std::vector<double> t, v;
  Sine(double a, double f, double dt, double seconds) {
    const auto n = static_cast<std::size_t>(std::lround(seconds / dt)) + 1;
    for (std::size_t i = 0; i < n; ++i) {
      t.push_back(static_cast<double>(i) * dt);
      v.push_back(a * std::sin(2 * kPi * f * t.back()));
    }
  }
};

TEST(Iso2631, SineKnownAnswers) {
  struct Case {
    double f, rate;
    bool dose;  // also the dose figures; off where the onset transient outweighs the weighted sine
  };
  // The frequencies at 100 Hz; the ends of the range where the weighting must hold
  // (0.5 Hz, a quarter of the rate); a rate high enough to include the low pass.
  const Case cases[] = {{1, 100, true}, {4, 100, true}, {8, 100, true}, {0.5, 100, false}, {25, 100, false},
                        {100, 400, false}};
  const double a = 1.7, seconds = 60;
  for (const Case& c : cases) {
    const Sine s(a, c.f, 1 / c.rate, seconds);
    const auto r = ComputeIso2631({s.t, s.v});
    ASSERT_TRUE(r.has_value()) << r.Reason;
    const double gain = std::abs(WkResponse(c.f, c.rate >= 200));
    EXPECT_NEAR(r->SampleInterval, 1 / c.rate, 1e-12);
    EXPECT_EQ(r->Samples, s.t.size());
    EXPECT_NEAR(r->WeightedRms / (a * gain / std::sqrt(2.0)), 1, 0.01) << c.f << " Hz";
    if (!c.dose) continue;
    EXPECT_NEAR(r->Vdv / (a * gain * std::pow(3 * seconds / 8, 0.25)), 1, 0.02) << c.f << " Hz";
    // The sine's r.m.s. over any second, and its peak, raised a little by the onset of the weighting.
    EXPECT_GE(r->Mtvv / r->WeightedRms, 0.999) << c.f << " Hz";
    EXPECT_LE(r->Mtvv / r->WeightedRms, 1.1) << c.f << " Hz";
    EXPECT_GE(*r->CrestFactor / std::sqrt(2.0), 0.999) << c.f << " Hz";
    EXPECT_LE(*r->CrestFactor / std::sqrt(2.0), 1.1) << c.f << " Hz";
    // (VDV / a|Wk|)^4 = 3T/8, so the hours to a dose D are (D / a|Wk|)^4 (8/3) / 3600, whatever T.
    for (const auto& [hours, dose] : {std::pair{*r->HoursToVdvAction, 9.1}, std::pair{*r->HoursToVdvLimit, 21.0}}) {
      EXPECT_NEAR(hours / (std::pow(dose / (a * gain), 4) * 8 / 3 / 3600), 1, 0.09) << c.f << " Hz";
    }
  }
}

TEST(Iso2631, UnevenStepTimesResampleOnTheMedianInterval) {
  struct Case {
    const char* name;
    std::vector<double> t, v;
    double interval;
    std::vector<double> resampled;  // empty: v = 2t + 1 at every grid time
    std::size_t samples;
  };
  const Case cases[] = {
      {"odd count", {0, 0.25, 0.75, 1, 1.5, 1.75}, {}, 0.25, {}, 8},
      {"even count: mean of the middle two", {0, 0.25, 0.75, 1, 1.5}, {}, 0.375, {}, 5},
      {"last step between grid times", {2, 3, 4, 5, 5.5}, {}, 1, {}, 4},
      {"repeated time: the later step", {0, 0.25, 0.25, 0.5, 0.75}, {0, 1, 5, 2, 3}, 0.25, {0, 5, 2, 3}, 4},
  };
  for (Case c : cases) {
    if (c.v.empty()) {
      for (double t : c.t) c.v.push_back(2 * t + 1);
    }
    const auto r = ResampleOnMedianInterval({c.t, c.v});
    ASSERT_TRUE(r.has_value()) << c.name << ": " << r.Reason;
    EXPECT_EQ(r->Start, c.t.front()) << c.name;
    EXPECT_EQ(r->Interval, c.interval) << c.name;
    ASSERT_EQ(r->Value.size(), c.samples) << c.name;
    for (std::size_t k = 0; k < c.samples; ++k) {
      const double expected = c.resampled.empty() ? 2 * (c.t.front() + static_cast<double>(k) * c.interval) + 1 : c.resampled[k];
      EXPECT_NEAR(r->Value[k], expected, 1e-12) << c.name << " sample " << k;
    }
  }
}

TEST(Iso2631, MissingFiguresGiveTheirReasons) {
  struct Case {
    const char* name;
    std::vector<double> t, v;
    std::string reason;
  };
  std::vector<double> third, third2;  // 3 s at 0.5 s: 7 samples
  for (int i = 0; i <= 6; ++i) third.push_back(0.5 * i), third2.push_back(std::sin(i));
  const Case cases[] = {
      {"shorter than 2 s", {0, 0.5, 1, 1.5, 1.99}, {0, 1, 0, 1, 0}, "the window lasts 1.99 s, less than 2 s"},
      {"fewer than 8 samples", third, third2, "the window gives 7 samples, fewer than 8"},
      {"no step", {}, {}, "the window holds no step"},
      {"median interval 0", {0, 0, 0, 0, 3}, {0, 1, 2, 3, 4}, "the median step interval is 0 (most steps share their time)"},
      {"too uneven", {0, 0.001, 0.002, 100}, {0, 1, 2, 3},
       "the median step interval 0.001 s would turn 4 steps into 100001 samples; the step times are too uneven"},
  };
  for (const Case& c : cases) {
    const auto r = ComputeIso2631({c.t, c.v});
    EXPECT_FALSE(r.has_value()) << c.name;
    EXPECT_EQ(r.Reason, c.reason) << c.name;
  }
  // A constant acceleration weighs to 0: no crest factor and no exposure time.
  const Sine flat(0, 1, 0.01, 10);
  const auto r = ComputeIso2631({flat.t, flat.v});
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->WeightedRms, 0.0);
  EXPECT_EQ(r->CrestFactor.Reason, "the weighted acceleration is 0 throughout");
  EXPECT_FALSE(r->HoursToVdvAction.has_value() || r->HoursToVdvLimit.has_value());
}

TEST(FftFilter, MatchesTheDefiningSums) {
  // The filter against the transform computed term by term: X[k] = sum x[j] e^(-2 pi i jk/n),
  // Y[k] = X[k] g(k) (conjugate above n/2, real at 0 and n/2), y[j] = sum Y[k] e^(2 pi i jk/n) / n.
  struct Case {
    std::size_t given, requested, n;
  };
  const Case cases[] = {{3, 3, 4}, {8, 8, 8}, {50, 33, 64}, {300, 400, 512}, {700, 8192, 8192}, {12, 5, 8}};
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1, 1);
  for (const auto& [given, requested, n] : cases) {
    std::vector<double> x(given);
    for (double& a : x) a = u(gen);
    std::vector<std::complex<double>> g(n / 2 + 1);
    for (auto& v : g) v = {u(gen), u(gen)};
    const FftFilter filter(requested);
    ASSERT_EQ(filter.Size(), n);
    std::vector<double> y = x;
    filter.Filter(y, [&](std::size_t k) { return g.at(k); });

    const std::size_t used = std::min(given, n);  // values past n are not the filter's
    std::vector<std::complex<double>> spectrum(n);
    for (std::size_t k = 0; k < n; ++k) {
      std::complex<double> sum = 0;
      for (std::size_t j = 0; j < used; ++j) sum += x[j] * std::polar(1.0, -2 * kPi * static_cast<double>(j * k % n) / static_cast<double>(n));
      const std::complex<double> gain = k == 0 || k == n / 2 ? std::complex<double>(g[k].real(), 0)
                                        : k < n / 2          ? g[k]
                                                             : std::conj(g[n - k]);
      spectrum[k] = sum * gain;
    }
    for (std::size_t j = 0; j < used; ++j) {
      std::complex<double> sum = 0;
      for (std::size_t k = 0; k < n; ++k) sum += spectrum[k] * std::polar(1.0, 2 * kPi * static_cast<double>(j * k % n) / static_cast<double>(n));
      ASSERT_NEAR(y[j], sum.real() / static_cast<double>(n), 1e-12) << n << " sample " << j;
    }
    for (std::size_t j = used; j < given; ++j) EXPECT_EQ(y[j], x[j]) << n << " sample " << j;
  }
}

}  // namespace
}  // namespace hulvex::analysis
