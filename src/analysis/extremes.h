// Extreme values of impact peaks: Rayleigh and two-parameter Weibull distributions fitted to the
// peak heights above the mean, the mean of the highest fraction of the fitted distribution, and
// the most probable largest peak over an exposure.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "analysis/series.h"

namespace hulvex::analysis {

inline constexpr std::size_t kLeastExtremePeaks = 10;  // fewer peaks give no extremes

// Weibull distribution with location 0: exceedance exp(-(x / Scale)^Shape).
struct WeibullFit {
  double Shape = 0;  // k
  double Scale = 0;  // lambda, in the heights' unit
};

// sqrt(sum h^2 / (2 N)): the Rayleigh parameter of the heights (not empty).
double RayleighSigma(std::span<const double> heights);
// exp(-x^2 / (2 sigma^2)).
double RayleighExceedance(double x, double sigma);
// exp(-(x / Scale)^Shape).
double WeibullExceedance(double x, const WeibullFit& fit);

// The maximum-likelihood fit of heights h > 0: the shape k solving
// sum h^k ln h / sum h^k - 1/k - mean(ln h) = 0, the scale (sum h^k / N)^(1/k). Missing when
// fewer than 2 heights, any height is not positive and finite, or all are equal (no finite shape).
Maybe<WeibullFit> FitWeibull(std::span<const double> heights);

// The mean of the highest 1/n (n >= 1) of the distribution: n Scale Gamma(1 + 1/Shape, ln n), with
// the upper incomplete gamma function.
double WeibullMeanOfHighest(const WeibullFit& fit, double n);

// Scale (ln count)^(1/Shape): the most probable largest of `count` (> 1) independent peaks.
double WeibullMostProbableLargest(const WeibullFit& fit, double count);

struct ExtremeValues {
  std::size_t Peaks = 0;
  double RayleighSigma = 0;
  WeibullFit Weibull;
  double PredictedA1_3 = 0, PredictedA1_10 = 0, PredictedA1_100 = 0, PredictedA1_1000 = 0;  // of the Weibull fit
  double ExposureHours = 0;
  Maybe<double> MostProbableLargest;  // over ExposureHours: PeaksPerMinute 60 ExposureHours peaks
};

// The extremes of peak heights (above the mean, > 0) counted at `peaksPerMinute`, over an exposure
// of `exposureHours` (> 0). Missing, with the reason, below kLeastExtremePeaks peaks or when the
// fit fails; MostProbableLargest is Missing when the peaks per minute are, or when the exposure
// holds at most one peak.
Maybe<ExtremeValues> ComputeExtremes(std::span<const double> heights, const Maybe<double>& peaksPerMinute,
                                     double exposureHours);

// The empirical exceedance of the i-th largest of `count` heights (i = 1 ... count): i / (count + 1).
double EmpiricalExceedance(std::size_t rank, std::size_t count);

}  // namespace hulvex::analysis
