#include "analysis/statistics.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

namespace hulvex::analysis {

namespace {

double MeanOf(std::span<const double> v) {
  return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}

// Empty when the series can be analysed, else why not.
std::string Unusable(const Series& series) {
  if (std::string problem = SeriesProblem(series); !problem.empty()) return problem;
  if (series.Time.empty()) return "the window holds no step";
  return {};
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

Maybe<ImpactStatistics> ComputeImpacts(const Series& acceleration, double threshold) {
  if (std::string problem = Unusable(acceleration); !problem.empty()) return Maybe<ImpactStatistics>::Missing(problem);
  const std::span<const double> v = acceleration.Value;
  const std::size_t n = v.size();
  ImpactStatistics r;
  r.Mean = MeanOf(v);
  r.Threshold = threshold;

  std::size_t excursions = 0;
  std::size_t i = 0;
  while (i < n && v[i] > r.Mean) ++i;  // a run above the mean at the start is cut by the window
  while (true) {
    while (i < n && !(v[i] > r.Mean)) ++i;
    if (i == n) break;
    std::size_t top = i;
    for (; i < n && v[i] > r.Mean; ++i) {
      if (v[i] > v[top]) top = i;
    }
    if (i == n) break;  // cut by the end of the window
    ++excursions;
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

Maybe<MotionStatistics> ComputeMotions(const Series& motion) {
  if (std::string problem = Unusable(motion); !problem.empty()) return Maybe<MotionStatistics>::Missing(problem);
  const std::span<const double> v = motion.Value;
  MotionStatistics r;
  r.Mean = MeanOf(v);

  std::vector<double> heights;
  bool inCycle = false;
  double hi = 0, lo = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const bool upCrossing = i > 0 && v[i] > r.Mean && !(v[i - 1] > r.Mean);
    if (upCrossing) {
      if (inCycle) heights.push_back(hi - lo);
      inCycle = true;
      hi = lo = v[i];
    } else if (inCycle) {
      hi = std::max(hi, v[i]);
      lo = std::min(lo, v[i]);
    }
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
