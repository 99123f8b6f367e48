#include "analysis/extremes.h"

#include <boost/math/special_functions/gamma.hpp>

#include <algorithm>
#include <cmath>
#include <string>

#include "common/check.h"

namespace hulvex::analysis {

double RayleighSigma(std::span<const double> heights) {
  HULVEX_ASSERT(!heights.empty());
  double squares = 0;
  for (double h : heights) squares += h * h;
  return std::sqrt(squares / (2 * static_cast<double>(heights.size())));
}

double RayleighExceedance(double x, double sigma) { return std::exp(-x * x / (2 * sigma * sigma)); }

double WeibullExceedance(double x, const WeibullFit& fit) { return std::exp(-std::pow(x / fit.Scale, fit.Shape)); }

namespace {

// The likelihood equation's left side at shape k, over u = h / max h (so that u^k cannot
// overflow): sum u^k ln u / sum u^k + ln max - 1/k - mean ln h; rises with k.
struct LikelihoodEquation {
  std::vector<double> logU;  // ln(h / max h) <= 0
  double logMax = 0, meanLog = 0;

  double operator()(double k) const {
    double sum = 0, weighted = 0;
    for (double l : logU) {
      const double uk = std::exp(k * l);
      sum += uk;
      weighted += uk * l;
    }
    return weighted / sum + logMax - 1 / k - meanLog;
  }
  // (sum u^k / N)^(1/k) max h.
  double Scale(double k) const {
    double sum = 0;
    for (double l : logU) sum += std::exp(k * l);
    return std::exp(logMax + std::log(sum / static_cast<double>(logU.size())) / k);
  }
};

}  // namespace

Maybe<WeibullFit> FitWeibull(std::span<const double> heights) {
  if (heights.size() < 2) return Maybe<WeibullFit>::Missing("a Weibull fit needs at least 2 heights");
  for (double h : heights) {
    if (!(h > 0) || !std::isfinite(h)) return Maybe<WeibullFit>::Missing("a height is not positive and finite");
  }
  LikelihoodEquation eq;
  eq.logMax = std::log(*std::max_element(heights.begin(), heights.end()));
  double sumLog = 0;
  for (double h : heights) {
    eq.logU.push_back(std::log(h) - eq.logMax);
    sumLog += std::log(h);
  }
  eq.meanLog = sumLog / static_cast<double>(heights.size());
  // Bracket the root in k (the left side tends to -infinity at 0 and to ln max - mean ln h > 0),
  // then bisect in ln k to double precision.
  double lo = 1, hi = 1;
  while (eq(lo) > 0 && lo > 1e-6) lo /= 2;
  while (eq(hi) < 0 && hi < 1e6) hi *= 2;
  if (!(eq(lo) <= 0 && eq(hi) >= 0)) return Maybe<WeibullFit>::Missing("the heights are (nearly) all equal: no finite Weibull shape");
  for (int i = 0; i < 200 && hi - lo > 1e-15 * hi; ++i) {
    const double mid = std::sqrt(lo * hi);
    (eq(mid) < 0 ? lo : hi) = mid;
  }
  const double k = std::sqrt(lo * hi);
  return Maybe<WeibullFit>::Of({k, eq.Scale(k)});
}

double WeibullMeanOfHighest(const WeibullFit& fit, double n) {
  HULVEX_ASSERT(n >= 1);
  return n * fit.Scale * boost::math::tgamma(1 + 1 / fit.Shape, std::log(n));
}

double WeibullMostProbableLargest(const WeibullFit& fit, double count) {
  HULVEX_ASSERT(count > 1);
  return fit.Scale * std::pow(std::log(count), 1 / fit.Shape);
}

Maybe<ExtremeValues> ComputeExtremes(std::span<const double> heights, const Maybe<double>& peaksPerMinute,
                                     double exposureHours) {
  if (heights.size() < kLeastExtremePeaks) {
    return Maybe<ExtremeValues>::Missing(std::to_string(heights.size()) + " counted peaks; extremes need at least " +
                                         std::to_string(kLeastExtremePeaks));
  }
  const Maybe<WeibullFit> fit = FitWeibull(heights);
  if (!fit.has_value()) return Maybe<ExtremeValues>::Missing(fit.Reason);
  ExtremeValues e;
  e.Peaks = heights.size();
  e.RayleighSigma = RayleighSigma(heights);
  e.Weibull = *fit;
  e.PredictedA1_3 = WeibullMeanOfHighest(*fit, 3);
  e.PredictedA1_10 = WeibullMeanOfHighest(*fit, 10);
  e.PredictedA1_100 = WeibullMeanOfHighest(*fit, 100);
  e.PredictedA1_1000 = WeibullMeanOfHighest(*fit, 1000);
  e.ExposureHours = exposureHours;
  if (!peaksPerMinute.has_value()) {
    e.MostProbableLargest = Maybe<double>::Missing(peaksPerMinute.Reason);
  } else if (const double count = *peaksPerMinute * 60 * exposureHours; count > 1) {
    e.MostProbableLargest = Maybe<double>::Of(WeibullMostProbableLargest(*fit, count));
  } else {
    e.MostProbableLargest = Maybe<double>::Missing("the exposure holds at most one peak at the counted rate");
  }
  return Maybe<ExtremeValues>::Of(e);
}

double EmpiricalExceedance(std::size_t rank, std::size_t count) {
  return static_cast<double>(rank) / static_cast<double>(count + 1);
}

}  // namespace hulvex::analysis
