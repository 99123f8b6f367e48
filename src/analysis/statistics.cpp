#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <string>

namespace hulvex::analysis {

namespace {

double MeanOf(std::span<const double> v) {
  return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

// Empty when the series can be analysed (with a dead band of `hysteresisFraction` of its range),
// else why not.
std::string Unusable(const Series& series, double hysteresisFraction = 0) {
  if (std::string problem = SeriesProblem(series); !problem.empty()) return problem;
  if (series.Time.empty()) return "the window holds no step";
  if (!std::isfinite(hysteresisFraction) || hysteresisFraction < 0) {
    return "the hysteresis must be a fraction of the range of at least 0, not " + std::to_string(hysteresisFraction);
  }
  return {};
}

// An iterator to sample i of v.
std::span<const double>::iterator Sample(std::span<const double> v, std::size_t i) {
  return v.begin() + static_cast<std::ptrdiff_t>(i);
}

// The dead band's half-width: `fraction` of the range (max - min) of the non-empty `v`; 0 for 0.
double HalfWidth(std::span<const double> v, double fraction) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return fraction * (*hi - *lo);
}

// The crossings of the band mean +- half (see ComputeImpacts in the header), as sample indices in
// order: up-crossings at even elements, each followed by its down-crossing, if any, at the next.
std::vector<std::size_t> BandCrossings(std::span<const double> v, double mean, double half) {
  const double low = mean - half, high = mean + half;  // both the mean itself for half 0
  enum class State { Unknown, Low, High } state = State::Unknown;
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] <= low) {
      if (state == State::High) at.push_back(i);
      state = State::Low;
    } else if (v[i] > high && state == State::Low) {
      at.push_back(i);
      state = State::High;
    }
  }
  return at;
}

// floor(count / fraction) highest of `sortedDescending`, averaged.
Maybe<double> MeanOfHighestSorted(std::span<const double> sortedDescending, std::size_t fraction, const char* what) {
  const std::size_t n = fraction == 0 ? 0 : sortedDescending.size() / fraction;
  if (n == 0) {
    return Maybe<double>::Missing("needs at least " + std::to_string(std::max<std::size_t>(fraction, 1)) + " " + what +
                                  ", found " + std::to_string(sortedDescending.size()));
  }
  return Maybe<double>::Of(MeanOf(sortedDescending.first(n)));
}

}  // namespace

Maybe<double> MeanOfHighest(std::span<const double> values, std::size_t fraction, const char* what) {
  std::vector<double> sorted(values.begin(), values.end());
  std::sort(sorted.begin(), sorted.end(), std::greater<>());
  return MeanOfHighestSorted(sorted, fraction, what);
}

Maybe<ChannelStatistics> ComputeChannelStatistics(const Series& series) {
  if (std::string problem = Unusable(series); !problem.empty()) return Maybe<ChannelStatistics>::Missing(problem);
  const std::span<const double> v = series.Value;
  double sum = 0;
  std::size_t minAt = 0, maxAt = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    sum += v[i];
    if (v[i] < v[minAt]) minAt = i;
    if (v[i] > v[maxAt]) maxAt = i;
  }
  ChannelStatistics s;
  s.Count = v.size();
  s.Mean = sum / static_cast<double>(v.size());
  double squaresAboutMean = 0, squares = 0;
  for (const double a : v) {
    const double d = a - s.Mean;
    squaresAboutMean += d * d;
    squares += a * a;
  }
  const auto n = static_cast<double>(v.size());
  s.Min = v[minAt];
  s.MinTime = series.Time[minAt];
  s.Max = v[maxAt];
  s.MaxTime = series.Time[maxAt];
  s.StdDev = std::sqrt(squaresAboutMean / n);
  s.Rms = std::sqrt(squares / n);
  return Maybe<ChannelStatistics>::Of(s);
}

Maybe<ImpactStatistics> ComputeImpacts(const Series& acceleration, double threshold, double hysteresisFraction) {
  if (std::string problem = Unusable(acceleration, hysteresisFraction); !problem.empty()) {
    return Maybe<ImpactStatistics>::Missing(problem);
  }
  const std::span<const double> v = acceleration.Value;
  ImpactStatistics r;
  r.Mean = MeanOf(v);
  r.Hysteresis = HalfWidth(v, hysteresisFraction);
  r.Threshold = threshold;

  const std::vector<std::size_t> at = BandCrossings(v, r.Mean, r.Hysteresis);
  const std::size_t excursions = at.size() / 2;  // an up-crossing left without a down-crossing is cut
  for (std::size_t k = 0; k < excursions; ++k) {
    const auto top = static_cast<std::size_t>(std::max_element(Sample(v, at[2 * k]), Sample(v, at[2 * k + 1])) - v.begin());
    const double height = v[top] - r.Mean;
    if (height >= threshold) r.Peaks.push_back({acceleration.FirstStep + top, acceleration.Time[top], height});
  }

  r.PeakCount = r.Peaks.size();
  const double duration = acceleration.Time.back() - acceleration.Time.front();
  if (duration > 0) {
    r.PeaksPerMinute = Maybe<double>::Of(static_cast<double>(r.PeakCount) * 60.0 / duration);
  } else {
    r.PeaksPerMinute = Maybe<double>::Missing("the window lasts no time");
  }

  std::vector<double> heights(r.Peaks.size());
  std::transform(r.Peaks.begin(), r.Peaks.end(), heights.begin(), [](const Peak& p) { return p.Height; });
  std::sort(heights.begin(), heights.end(), std::greater<>());
  r.A1_3 = MeanOfHighestSorted(heights, 3, "counted peaks");
  r.A1_10 = MeanOfHighestSorted(heights, 10, "counted peaks");
  r.A1_100 = MeanOfHighestSorted(heights, 100, "counted peaks");

  if (!r.Peaks.empty()) {
    r.Largest = Maybe<Peak>::Of(*std::max_element(r.Peaks.begin(), r.Peaks.end(),
                                                  [](const Peak& a, const Peak& b) { return a.Height < b.Height; }));
  } else if (excursions == 0) {
    r.Largest = Maybe<Peak>::Missing("no complete excursion above the mean in the window");
  } else {
    r.Largest = Maybe<Peak>::Missing("none of the " + std::to_string(excursions) +
                                     " peaks reaches the threshold");
  }
  return Maybe<ImpactStatistics>::Of(std::move(r));
}

Maybe<MotionStatistics> ComputeMotions(const Series& motion, double hysteresisFraction) {
  if (std::string problem = Unusable(motion, hysteresisFraction); !problem.empty()) {
    return Maybe<MotionStatistics>::Missing(problem);
  }
  const std::span<const double> v = motion.Value;
  MotionStatistics r;
  r.Mean = MeanOf(v);
  r.Hysteresis = HalfWidth(v, hysteresisFraction);

  // A cycle runs from one up-crossing (an even element) to the sample before the next.
  const std::vector<std::size_t> at = BandCrossings(v, r.Mean, r.Hysteresis);
  std::vector<double> heights;
  for (std::size_t k = 2; k < at.size(); k += 2) {
    const auto [lo, hi] = std::minmax_element(Sample(v, at[k - 2]), Sample(v, at[k]));
    heights.push_back(*hi - *lo);
  }

  r.Cycles = heights.size();
  if (heights.empty()) {
    r.SignificantDoubleAmplitude =
        Maybe<double>::Missing("no full cycle (two up-crossings of the mean) in the window");
  } else {
    r.SignificantDoubleAmplitude = MeanOfHighest(heights, 3, "full cycles");
  }
  return Maybe<MotionStatistics>::Of(std::move(r));
}

}  // namespace hulvex::analysis
