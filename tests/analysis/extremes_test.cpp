#include "analysis/extremes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace hulvex::analysis {
namespace {

TEST(Extremes, WeibullFitOfASampleRecoversItsDistribution) {
  struct Case {
    double shape, scale;
    unsigned seed;
  };
  for (const Case& c : {Case{1.2, 0.8, 1}, Case{2, 1.5, 2}, Case{3.5, 0.3, 3}}) {
    std::mt19937_64 gen(c.seed);
    std::weibull_distribution<double> draw(c.shape, c.scale);
    std::vector<double> h(20'000);
    for (double& v : h) v = draw(gen);
    const Maybe<WeibullFit> fit = FitWeibull(h);
    ASSERT_TRUE(fit.has_value()) << fit.Reason;
    EXPECT_NEAR(fit->Shape, c.shape, 0.02 * c.shape);
    EXPECT_NEAR(fit->Scale, c.scale, 0.02 * c.scale);
  }
}

// With shape 2 and scale sqrt(2) sigma the Weibull distribution is Rayleigh's: the mean of the
// highest 1/n is sigma (sqrt(2 ln n) + n sqrt(pi/2) erfc(sqrt(ln n))), the most probable largest of
// N peaks sigma sqrt(2 ln N).
TEST(Extremes, PredictionsWithShapeTwoEqualTheRayleighClosedForms) {
  for (double sigma : {0.05, 1.0, 7.5}) {
    const WeibullFit fit{2, std::numbers::sqrt2 * sigma};
    for (double n : {3.0, 10.0, 100.0, 1000.0}) {
      const double rayleigh =
          sigma * (std::sqrt(2 * std::log(n)) + n * std::sqrt(std::numbers::pi / 2) * std::erfc(std::sqrt(std::log(n))));
      EXPECT_NEAR(WeibullMeanOfHighest(fit, n), rayleigh, 1e-12 * rayleigh) << n;
      EXPECT_NEAR(WeibullMostProbableLargest(fit, 60 * n), sigma * std::sqrt(2 * std::log(60 * n)), 1e-12 * sigma * n);
      EXPECT_NEAR(WeibullExceedance(sigma * n / 100, fit), RayleighExceedance(sigma * n / 100, sigma), 1e-15);
    }
  }
}

TEST(Extremes, NeedTenPeaksAndAnExposureOfMoreThanOnePeak) {
  struct Case {
    std::size_t peaks;
    Maybe<double> perMinute;
    double hours;
    bool extremes, largest;
  };
  const Case cases[] = {
      {9, Maybe<double>::Of(60), 1, false, false},
      {10, Maybe<double>::Of(60), 1, true, true},
      {10, Maybe<double>::Of(1), 1.0 / 60, true, false},  // one peak in the exposure
      {10, Maybe<double>::Missing("no duration"), 1, true, false},
  };
  for (const Case& c : cases) {
    std::vector<double> h;
    for (std::size_t i = 1; i <= c.peaks; ++i) h.push_back(0.1 * static_cast<double>(i));
    const Maybe<ExtremeValues> e = ComputeExtremes(h, c.perMinute, c.hours);
    ASSERT_EQ(e.has_value(), c.extremes) << c.peaks;
    if (!e.has_value()) continue;
    EXPECT_EQ(e->MostProbableLargest.has_value(), c.largest);
    EXPECT_NEAR(e->RayleighSigma, std::sqrt(0.385 / 2 * 10 / static_cast<double>(c.peaks)), 1e-12);
  }
}

}  // namespace
}  // namespace hulvex::analysis
