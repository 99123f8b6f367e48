#include "analysis/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace hulvex::analysis {
namespace {

// Values at a fixed step, owning their arrays.
struct Steps {
  std::vector<double> t, v;
  explicit Steps(std::vector<double> values, double dt = 0.1) : v(std::move(values)) {
    for (std::size_t i = 0; i < v.size(); ++i) t.push_back(static_cast<double>(i) * dt);
  }
  Series series() const { return {t, v}; }
};

TEST(ChannelStatistics, KnownAnswers) {
  struct Case {
    std::vector<double> v;
    double mean, min, minTime, max, maxTime, stdDev, rms;
  };
  const Case cases[] = {
      {{1, 2, 3, 4}, 2.5, 1, 0.0, 4, 0.3, std::sqrt(1.25), std::sqrt(7.5)},
      {{3, 1, 3, 1}, 2, 1, 0.1, 3, 0.0, 1, std::sqrt(5.0)},  // ties: the first step
      {{-2}, -2, -2, 0.0, -2, 0.0, 0, 2},
  };
  for (const Case& c : cases) {
    const Steps s(c.v);
    const auto r = ComputeChannelStatistics(s.series());
    ASSERT_TRUE(r.has_value()) << r.Reason;
    EXPECT_EQ(r->Count, c.v.size());
    EXPECT_DOUBLE_EQ(r->Mean, c.mean);
    EXPECT_EQ(r->Min, c.min);
    EXPECT_DOUBLE_EQ(r->MinTime, c.minTime);
    EXPECT_EQ(r->Max, c.max);
    EXPECT_DOUBLE_EQ(r->MaxTime, c.maxTime);
    EXPECT_DOUBLE_EQ(r->StdDev, c.stdDev);
    EXPECT_DOUBLE_EQ(r->Rms, c.rms);
  }
}

// Zero-mean acceleration with a cut run at each end and the given peak heights in between: each
// peak is p/2, p, -p/2, -p; the series starts with 5, -5, -1 (a run cut by the start, higher than
// any peak) and ends with +1 (cut by the end).
Steps HandPlacedPeaks(const std::vector<double>& heights) {
  std::vector<double> v{5, -5, -1};
  for (double p : heights) v.insert(v.end(), {p / 2, p, -p / 2, -p});
  v.push_back(1);
  return Steps(v);
}

TEST(Impacts, HandPlacedPeaks) {
  std::vector<double> heights;  // 1 ... 30 in a scrambled order
  for (int i = 1; i <= 30; ++i) heights.push_back((i * 7) % 31);
  const Steps s = HandPlacedPeaks(heights);
  const double minutes = s.t.back() / 60.0;

  struct Case {
    double threshold;
    std::size_t count;
    std::optional<double> a13, a110;
  };
  const Case cases[] = {
      {0, 30, 25.5, 29},     // top 10: 21 ... 30; top 3: 28, 29, 30
      {10.5, 20, 27.5, 29.5},  // peaks 11 ... 30: top 6 and top 2
      {29, 2, std::nullopt, std::nullopt},
      {31, 0, std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto r = ComputeImpacts(s.series(), c.threshold);
    ASSERT_TRUE(r.has_value()) << r.Reason;
    EXPECT_EQ(r->Mean, 0.0);
    EXPECT_EQ(r->PeakCount, c.count) << c.threshold;
    EXPECT_DOUBLE_EQ(*r->PeaksPerMinute, static_cast<double>(c.count) / minutes);
    EXPECT_EQ(r->A1_3.Value, c.a13) << c.threshold;
    EXPECT_EQ(r->A1_10.Value, c.a110) << c.threshold;
    EXPECT_FALSE(r->A1_100.has_value());
    EXPECT_EQ(r->A1_100.Reason, "needs at least 100 counted peaks, found " + std::to_string(c.count));
    if (c.count > 0) {
      // Peak k tops at step 3 + 4k + 1.
      const auto k = static_cast<std::size_t>(std::find(heights.begin(), heights.end(), 30.0) - heights.begin());
      ASSERT_TRUE(r->Largest.has_value());
      EXPECT_EQ(r->Largest->Height, 30);
      EXPECT_EQ(r->Largest->Step, 4 + 4 * k);
      EXPECT_EQ(r->Largest->Time, s.t[4 + 4 * k]);
      EXPECT_EQ(r->Peaks.size(), c.count);
    } else {
      EXPECT_EQ(r->Largest.Reason, "none of the 30 peaks reaches the threshold");
    }
  }
}

TEST(Motions, FullCyclesAndSignificantDoubleAmplitude) {
  // -1, then cycles a, 3a, a, -a, -3a, -a (height 6a), then +1: every cycle is complete.
  struct Case {
    std::vector<double> amplitudes;
    std::size_t cycles;
    std::optional<double> sda;
  };
  const Case cases[] = {
      {{1, 2, 3, 4, 5, 6, 7, 8, 9}, 9, 48},  // top 3 heights: 42, 48, 54
      {{5, 1, 2, 1}, 4, 30},
      {{2, 1}, 2, std::nullopt},
  };
  for (const Case& c : cases) {
    std::vector<double> v{-1};
    for (double a : c.amplitudes) v.insert(v.end(), {a, 3 * a, a, -a, -3 * a, -a});
    v.push_back(1);
    const Steps s(v);
    const auto r = ComputeMotions(s.series());
    ASSERT_TRUE(r.has_value()) << r.Reason;
    EXPECT_EQ(r->Cycles, c.cycles);
    EXPECT_EQ(r->SignificantDoubleAmplitude.Value, c.sda);
    if (!c.sda) {
      EXPECT_EQ(r->SignificantDoubleAmplitude.Reason, "needs at least 3 full cycles, found 2");
    }
  }
}

// The dead band worked out the plain way: each sample is low (at or below m - h), high (above
// m + h) or in the band; a crossing is a low or high sample whose side differs from the last
// sample that was not in the band, the first one a rise. Peaks and cycles then by direct scans.
struct DeadBandReference {
  std::vector<std::pair<std::size_t, double>> peaks;  // index of the top, height above the mean
  std::vector<double> cycles;                          // heights, in order

  DeadBandReference(const std::vector<double>& v, double fraction) {
    double mean = 0;
    for (double x : v) mean += x;
    mean /= static_cast<double>(v.size());
    const double h = fraction * (*std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end()));
    std::vector<std::size_t> ups, downs;
    int last = 0;  // -1 low, +1 high, 0 none yet
    for (std::size_t i = 0; i < v.size(); ++i) {
      const int side = v[i] <= mean - h ? -1 : v[i] > mean + h ? 1 : 0;
      if (side == 0) continue;
      if (side == 1 && last == -1) ups.push_back(i);
      if (side == -1 && last == 1 && !ups.empty()) downs.push_back(i);  // none before the first rise
      last = side;
    }
    for (std::size_t k = 0; k < downs.size(); ++k) {
      std::size_t top = ups[k];
      for (std::size_t i = ups[k]; i < downs[k]; ++i) top = v[i] > v[top] ? i : top;
      peaks.emplace_back(top, v[top] - mean);
    }
    for (std::size_t k = 1; k < ups.size(); ++k) {
      double lo = v[ups[k - 1]], hi = lo;
      for (std::size_t i = ups[k - 1]; i < ups[k]; ++i) {
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
      }
      cycles.push_back(hi - lo);
    }
  }
};

// Impacts and motions as the reference has them: every peak (threshold 0) and every cycle.
void ExpectAsReference(const std::vector<double>& v, double fraction, const std::string& name) {
  SCOPED_TRACE(name + ", fraction " + std::to_string(fraction));
  const DeadBandReference ref(v, fraction);
  const Steps s(v);
  const auto impacts = ComputeImpacts(s.series(), 0, fraction);
  const auto motions = ComputeMotions(s.series(), fraction);
  ASSERT_TRUE(impacts.has_value() && motions.has_value());
  const double h = fraction * (*std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end()));
  EXPECT_EQ(impacts->Hysteresis, h);
  EXPECT_EQ(motions->Hysteresis, h);
  ASSERT_EQ(impacts->Peaks.size(), ref.peaks.size());
  for (std::size_t k = 0; k < ref.peaks.size(); ++k) {
    EXPECT_EQ(impacts->Peaks[k].Step, ref.peaks[k].first) << k;
    EXPECT_EQ(impacts->Peaks[k].Height, ref.peaks[k].second) << k;
  }
  EXPECT_EQ(motions->Cycles, ref.cycles.size());
  EXPECT_EQ(motions->SignificantDoubleAmplitude.Value, MeanOfHighest(ref.cycles, 3, "full cycles").Value);
}

TEST(DeadBand, HandCasesAtTheBandsEdges) {
  // Mean 0, range 10: the band is +-1 for fraction 0.1, the mean itself for 0.
  const std::vector<double> edges{2, -5, -4.5, -5, 1, -1, 3, -0.5, 4, -1, -0.5, 5, 5, -5, 2, -1, 1.5};
  struct Case {
    const char* name;
    std::vector<double> v;
    double fraction;
    std::vector<std::pair<std::size_t, double>> peaks;  // step, height
    std::size_t cycles;
    std::optional<double> sda;
  };
  const Case cases[] = {
      // 2 precedes any low sample; 1 (at m + h) does not cross up, -1 (at m - h) crosses down; the
      // tie of 5 keeps the first; 1.5 starts an excursion cut by the end. Cycles from steps 6, 11, 14 to 16.
      {"band 1", edges, 0.1, {{8, 4}, {11, 5}, {14, 2}}, 3, 10},
      {"band 0", edges, 0, {{4, 1}, {6, 3}, {8, 4}, {11, 5}, {14, 2}}, 5, 10},
      {"samples at the mean", {-1, 0, 2, 0, -1, 0}, 0, {{2, 2}}, 0, std::nullopt},
      {"wide band", edges, 0.5, {}, 0, std::nullopt},
  };
  for (const Case& c : cases) {
    ExpectAsReference(c.v, c.fraction, c.name);
    const auto impacts = ComputeImpacts(Steps(c.v).series(), 0, c.fraction);
    const auto motions = ComputeMotions(Steps(c.v).series(), c.fraction);
    ASSERT_TRUE(impacts.has_value() && motions.has_value()) << c.name;
    EXPECT_EQ(impacts->Mean, 0.0) << c.name;
    std::vector<std::pair<std::size_t, double>> peaks;
    for (const Peak& p : impacts->Peaks) peaks.emplace_back(p.Step, p.Height);
    EXPECT_EQ(peaks, c.peaks) << c.name;
    EXPECT_EQ(motions->Cycles, c.cycles) << c.name;
    EXPECT_EQ(motions->SignificantDoubleAmplitude.Value, c.sda) << c.name;
  }
  EXPECT_EQ(ComputeImpacts(Steps(edges).series(), 0, 0.1)->Hysteresis, 1.0);
}

TEST(DeadBand, RandomSeriesMatchTheReference) {
  // Quantised noise on a slow swell: ties, samples on the band's edges and noise crossings abound.
  std::mt19937 random(23);
  std::uniform_int_distribution<int> noise(-3, 3);
  for (int series = 0; series < 40; ++series) {
    const double swell = series % 4 == 0 ? 0 : series % 4 * 4.0;
    std::vector<double> v;
    for (int i = 0; i < 300; ++i) v.push_back(std::round(swell * std::sin(i * 0.07 + series)) + noise(random));
    for (double fraction : {0.0, 0.01, 0.05, 0.1, 0.2, 0.5}) ExpectAsReference(v, fraction, "series " + std::to_string(series));
  }
}

TEST(DeadBand, AFractionBelowZeroOrNotFiniteIsRefused) {
  const Steps s({-1, 1, -1, 1});
  for (double fraction : {-0.01, std::nan(""), std::numeric_limits<double>::infinity()}) {
    const auto impacts = ComputeImpacts(s.series(), 0, fraction);
    const auto motions = ComputeMotions(s.series(), fraction);
    EXPECT_FALSE(impacts.has_value() || motions.has_value()) << fraction;
    EXPECT_EQ(impacts.Reason.rfind("the hysteresis must be a fraction of the range of at least 0", 0), 0u) << impacts.Reason;
    EXPECT_EQ(motions.Reason, impacts.Reason);
  }
}

TEST(Statistics, WindowsWithoutCompleteCyclesOrUsableDataGiveReasons) {
  const double nan = std::nan("");
  struct Case {
    const char* name;
    std::vector<double> t, v;
    std::string block, peak, cycle;  // reasons: whole block, Largest, SignificantDoubleAmplitude
  };
  const Case cases[] = {
      {"rising ramp", {0, 1, 2, 3}, {0, 1, 2, 3}, "", "no complete excursion above the mean in the window",
       "no full cycle (two up-crossings of the mean) in the window"},
      {"one peak, one cycle", {0, 1, 2, 3, 4}, {-1, 1, -1, 1, -1}, "", "",
       "needs at least 3 full cycles, found 1"},
      {"empty", {}, {}, "the window holds no step", "", ""},
      {"lengths differ", {0, 1}, {0}, "the series has 2 times but 1 values", "", ""},
      {"time goes back", {0, 2, 1}, {0, 0, 0}, "step 2 at 1 s comes before step 1 at 2 s", "", ""},
      {"not finite", {0, 1, 2}, {0, nan, 0}, "the value of step 1 is not a finite number", "", ""},
  };
  for (const Case& c : cases) {
    const Series s{c.t, c.v};
    const auto stats = ComputeChannelStatistics(s);
    const auto impacts = ComputeImpacts(s, 0);
    const auto motions = ComputeMotions(s);
    if (!c.block.empty()) {
      for (const std::string* reason : {&stats.Reason, &impacts.Reason, &motions.Reason}) EXPECT_EQ(*reason, c.block) << c.name;
      EXPECT_FALSE(stats.has_value() || impacts.has_value() || motions.has_value()) << c.name;
      continue;
    }
    ASSERT_TRUE(impacts.has_value() && motions.has_value()) << c.name;
    EXPECT_EQ(impacts->Largest.Reason, c.peak) << c.name;
    EXPECT_EQ(motions->SignificantDoubleAmplitude.Reason, c.cycle) << c.name;
    EXPECT_FALSE(impacts->A1_3.has_value()) << c.name;
  }
}

TEST(Series, WindowsAndSlices) {
  const std::vector<double> t{0, 1, 2, 2, 3, 4};
  const std::vector<double> v{10, 11, 12, 13, 14, 15};
  struct Case {
    double from, to;
    std::size_t begin, end;
  };
  const Case cases[] = {{1, 3, 1, 5}, {2, 2, 2, 4}, {-1e9, 1e9, 0, 6}, {0.5, 0.9, 1, 1}, {5, 6, 6, 6}, {3, 1, 0, 0}};
  for (const Case& c : cases) {
    const StepRange r = FindWindow(t, c.from, c.to);
    EXPECT_EQ(r.Count(), c.end - c.begin) << c.from << " " << c.to;
    if (r.Count() > 0) {
      EXPECT_EQ(r.Begin, c.begin);
    }
  }
  const Series s = Slice({t, v, 100}, {4, 99});
  ASSERT_EQ(s.Value.size(), 2u);
  EXPECT_EQ(s.Value[0], 14);
  EXPECT_EQ(s.FirstStep, 104u);
}

TEST(Series, ScaledWindowsWidenIntoOneBuffer) {
  const std::vector<double> t{0, 1, 2, 3, 4};
  const std::vector<float> v{1.5f, 0.1f, -2.0f, 4.0f};  // one value short: the window stops there
  std::vector<double> buffer(100, 7.0);
  const double* storage = buffer.data();
  const Series s = ScaledWindow(t, v, {1, 9}, 2.0, buffer);
  ASSERT_EQ(s.Value.size(), 3u);
  EXPECT_EQ(s.Time.data(), t.data() + 1);
  EXPECT_EQ(s.FirstStep, 1u);
  EXPECT_EQ(s.Value[0], static_cast<double>(0.1f) * 2.0);  // widened before scaling
  EXPECT_EQ(s.Value[2], 8.0);
  EXPECT_EQ(s.Value.data(), storage);  // no allocation for a shorter window
  EXPECT_TRUE(ScaledWindow(t, v, {3, 2}, 1.0, buffer).Value.empty());
}

}  // namespace
}  // namespace hulvex::analysis
