#include "run/envelope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace hulvex {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

double Shown(float raw, double factor) { return static_cast<float>(raw * factor); }

// Checks `e` against a direct computation: steps are put in columns by their own time.
void CheckEnvelope(const std::vector<double>& t, const std::vector<float>& v, double factor, double t0, double t1,
                   int columns, const Envelope& e) {
  ASSERT_TRUE(std::is_sorted(e.Points.begin(), e.Points.end(), [](auto& a, auto& b) { return a.t < b.t; }));
  std::vector<std::size_t> inside;
  for (std::size_t s = 0; s < t.size(); ++s)
    if (t[s] >= t0 && t[s] <= t1) inside.push_back(s);
  const bool before = !inside.empty() ? inside.front() > 0 : (t.front() < t0);
  const bool after = !inside.empty() ? inside.back() + 1 < t.size() : (t.back() > t1);
  const std::size_t edges = (before ? 1 : 0) + (after ? 1 : 0);

  double lo = INFINITY, hi = -INFINITY;
  for (std::size_t s : inside)
    if (std::isfinite(v[s])) lo = std::min(lo, Shown(v[s], factor)), hi = std::max(hi, Shown(v[s], factor));
  if (lo <= hi) {
    EXPECT_EQ(e.Min, lo);
    EXPECT_EQ(e.Max, hi);
  } else {
    EXPECT_TRUE(std::isnan(e.Min) && std::isnan(e.Max));
  }

  if (inside.size() <= 2 * static_cast<std::size_t>(columns)) {
    ASSERT_EQ(e.Points.size(), inside.size() + edges);
    for (std::size_t k = 0; k < inside.size(); ++k) {
      const EnvelopePoint& p = e.Points[k + (before ? 1 : 0)];
      EXPECT_EQ(p.t, t[inside[k]]);
      if (std::isfinite(v[inside[k]])) EXPECT_EQ(p.v, Shown(v[inside[k]], factor));
      else EXPECT_TRUE(std::isnan(p.v));
    }
    return;
  }
  ASSERT_LE(e.Points.size(), 2 * static_cast<std::size_t>(columns) + edges);
  // Every column's extremes are points at its first and last step's times.
  const double width = (t1 - t0) / columns;
  std::vector<std::vector<std::size_t>> column(static_cast<std::size_t>(columns));
  for (std::size_t s : inside)
    column[std::min<std::size_t>(static_cast<std::size_t>((t[s] - t0) / width), static_cast<std::size_t>(columns) - 1)].push_back(s);
  for (const auto& steps : column) {
    if (steps.empty()) continue;
    double mn = INFINITY, mx = -INFINITY;
    for (std::size_t s : steps)
      if (std::isfinite(v[s])) mn = std::min(mn, Shown(v[s], factor)), mx = std::max(mx, Shown(v[s], factor));
    std::vector<double> got;
    for (const EnvelopePoint& p : e.Points)
      if (p.t == t[steps.front()] || p.t == t[steps.back()]) got.push_back(p.v);
    if (mn > mx) {
      ASSERT_EQ(got.size(), 1u);
      EXPECT_TRUE(std::isnan(got[0]));
    } else {
      EXPECT_NE(std::find(got.begin(), got.end(), mn), got.end());
      EXPECT_NE(std::find(got.begin(), got.end(), mx), got.end());
    }
  }
}

TEST(Envelope, RandomSeriesAgainstADirectComputation) {
  std::mt19937 gen(7);
  for (int trial = 0; trial < 60; ++trial) {
    const int n = std::uniform_int_distribution<int>(1, 3000)(gen);
    std::vector<double> t(static_cast<std::size_t>(n));
    std::vector<float> v(t.size());
    double time = std::uniform_real_distribution<double>(-5, 5)(gen);
    for (std::size_t s = 0; s < t.size(); ++s) {
      time += std::uniform_real_distribution<double>(0.001, 0.02)(gen);
      t[s] = time;
      const int pick = std::uniform_int_distribution<int>(0, 200)(gen);
      v[s] = pick == 0 ? kNaN : pick == 1 ? kInf : pick == 2 ? -kInf : std::normal_distribution<float>(0, 3)(gen);
    }
    std::uniform_real_distribution<double> at(t.front() - 1, t.back() + 1);
    double t0 = at(gen), t1 = at(gen);
    if (t0 > t1) std::swap(t0, t1);
    const int columns = std::uniform_int_distribution<int>(1, 700)(gen);
    const double factor = trial % 2 ? 1.0 : 0.031075201988812928;
    Envelope e;
    BuildEnvelope(t, v, factor, t0, t1, columns, e);
    SCOPED_TRACE(trial);
    CheckEnvelope(t, v, factor, t0, t1, columns, e);
  }
}

TEST(Envelope, Boundaries) {
  const std::vector<double> t{0.0, 1.0, 2.0, 3.0};
  const std::vector<float> v{1, 2, 3, 4};
  Envelope e;
  BuildEnvelope(t, v, 1.0, 1.2, 1.8, 100, e);  // between two steps: only the edge points
  ASSERT_EQ(e.Points.size(), 2u);
  EXPECT_EQ(e.Points[0].t, 1.0);
  EXPECT_EQ(e.Points[1].t, 2.0);
  EXPECT_TRUE(std::isnan(e.Min));
  BuildEnvelope(t, v, 1.0, 2.0, 1.0, 100, e);  // an empty range
  EXPECT_TRUE(e.Points.empty());
  BuildEnvelope({}, {}, 1.0, 0.0, 1.0, 100, e);
  EXPECT_TRUE(e.Points.empty());
  BuildEnvelope(t, std::vector<float>{1, 2}, 1.0, -10, 10, 0, e);  // the shorter span counts, 1 column at least
  EXPECT_EQ(e.Points.size(), 2u);
  EXPECT_EQ(e.Max, 2.0);
}

TEST(Envelope, AMillionStepsGiveAFewPointsPerColumn) {
  const std::size_t n = 1'000'000;
  std::vector<double> t(n);
  std::vector<float> v(n);
  for (std::size_t s = 0; s < n; ++s) {
    t[s] = static_cast<double>(s) * 0.005;
    v[s] = static_cast<float>(std::sin(static_cast<double>(s) * 0.01));
  }
  v[123'456] = 7.0f;  // one spike: it must survive the reduction
  Envelope e;
  BuildEnvelope(t, v, 1.0, t.front(), t.back(), 800, e);
  EXPECT_LE(e.Points.size(), 1600u);
  EXPECT_EQ(e.Max, 7.0);
  EXPECT_NE(std::find_if(e.Points.begin(), e.Points.end(), [](auto& p) { return p.v == 7.0; }), e.Points.end());
}

}  // namespace
}  // namespace hulvex
