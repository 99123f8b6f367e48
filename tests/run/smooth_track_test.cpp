#include "run/smooth_track.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace hulvex {
namespace {

struct Motion {
  std::vector<double> t;
  std::vector<float> p, v;
};

// Speed v(t) = v0 + dv * sin(w t), position its exact integral.
Motion Surging(double dt, double duration, double v0, double dv, double w) {
  Motion m;
  for (int i = 0; i * dt <= duration + 1e-9; ++i) {
    const double t = i * dt;
    m.t.push_back(t);
    m.v.push_back(static_cast<float>(v0 + dv * std::sin(w * t)));
    m.p.push_back(static_cast<float>(v0 * t + dv * (1 - std::cos(w * t)) / w));
  }
  return m;
}

TEST(SmoothTrack, ConstantSpeedFollowsTheBoat) {
  const Motion m = Surging(0.01, 30.0, 50.0, 0.0, 1.0);
  const auto track = BuildSmoothTrack(m.t, m.p, m.v, 0.0, 30.0, 8.0f);
  ASSERT_EQ(track.size(), m.p.size());
  // Up to the last half window the camera is exactly where the boat is.
  for (std::size_t i = 0; m.t[i] < 26.0 - 1e-9; ++i) EXPECT_NEAR(track[i], m.p[i], 2e-3) << i;
  // The tail starts at the first step whose window passes the end; it takes over the track
  // value of the step before, so from there on the camera trails by one step's travel.
  for (std::size_t i = 2601; i < track.size(); ++i) EXPECT_NEAR(track[i], m.p[i] - 0.5, 2e-3) << i;
}

TEST(SmoothTrack, ShortHistoryIsTheBoatsOwnPosition) {
  const Motion m = Surging(0.01, 7.99, 50.0, 5.0, 2.0);
  const auto track = BuildSmoothTrack(m.t, m.p, m.v, 0.0, 7.99, 8.0f);
  EXPECT_EQ(track, m.p);
}

TEST(SmoothTrack, MiddlePartMovesWithTheWindowMeanSpeed) {
  // A surge whose period is the window length averages out: the camera moves at v0.
  const double w = 2 * M_PI / 8.0;
  const Motion m = Surging(0.005, 40.0, 40.0, 6.0, w);
  const auto track = BuildSmoothTrack(m.t, m.p, m.v, 0.0, 40.0, 8.0f);
  // First half window: the boat's own position.
  for (std::size_t i = 0; m.t[i] < 4.0 - 1e-9; ++i) EXPECT_EQ(track[i], m.p[i]);
  // Middle: track speed = mean of v over [t - 4, t + 4] = v0.
  const std::size_t i1 = 1000, i2 = 6000;  // t = 5 s and 30 s
  EXPECT_NEAR((track[i2] - track[i1]) / (m.t[i2] - m.t[i1]), 40.0, 1e-3);
  // The boat surges ahead of and behind the camera by dv / w at most, plus the start offset.
  double maxGap = 0;
  for (std::size_t i = i1; i < i2; ++i) maxGap = std::max(maxGap, std::abs(double(m.p[i]) - track[i]));
  EXPECT_GT(maxGap, 1.0);
  EXPECT_LT(maxGap, 2 * 6.0 / w + 0.1);
}

TEST(SmoothTrack, TailFollowsTheBoatWithAConstantOffset) {
  const Motion m = Surging(0.01, 20.0, 30.0, 4.0, 1.3);
  const auto track = BuildSmoothTrack(m.t, m.p, m.v, 0.0, 20.0, 8.0f);
  const std::size_t n = track.size() - 1;
  const double offset = track[n] - m.p[n];
  for (std::size_t i = n - 300; i <= n; ++i) EXPECT_NEAR(track[i] - m.p[i], offset, 1e-3) << i;
  // Continuous where the middle part hands over to the tail.
  for (std::size_t i = 1; i <= n; ++i) EXPECT_LT(std::abs(track[i] - track[i - 1]), 1.0) << i;
}

TEST(SmoothTrack, TimesThatFallShortOfTheHeaderNeverReadOutside) {
  // Header says 60 s, the steps stop at 20 s; the steps also repeat a time.
  Motion m = Surging(0.01, 20.0, 30.0, 4.0, 1.3);
  m.t[700] = m.t[699];
  const auto track = BuildSmoothTrack(m.t, m.p, m.v, 0.0, 60.0, 8.0f);
  ASSERT_EQ(track.size(), m.p.size());
  for (float x : track) EXPECT_TRUE(std::isfinite(x));
  // Times that never reach the first half window.
  const auto flat = BuildSmoothTrack(std::vector<double>(50, 0.0), std::vector<float>(50, 1.0f),
                                     std::vector<float>(50, 1.0f), 0.0, 60.0, 8.0f);
  EXPECT_EQ(flat, std::vector<float>(50, 1.0f));
}

// The track summed directly, window by window, as a reference for the running sums.
std::vector<float> DirectTrack(const Motion& m, double t0, double tE, double W) {
  const auto& t = m.t;
  const auto& V = m.v;
  std::vector<float> track = m.p;
  const std::size_t n = t.size() - 1;
  const double h = W / 2;
  std::size_t j = 1;
  while (j <= n && t[j] < t0 + h) ++j;
  double P = track[j], M = V[j];
  std::size_t lo = 0, up = 0;
  for (;;) {
    ++j;
    const double Mprev = M, a = t[j] - h, b = t[j] + h;
    if (j > n || b > tE) break;
    while (t[lo + 1] < a) ++lo;
    while (t[up] < b) ++up;
    const double f1 = (t[lo + 1] - a) / (t[lo + 1] - t[lo]);
    double I = (t[lo + 1] - a) * (V[lo + 1] + 0.5 * f1 * (V[lo] - V[lo + 1]));
    for (std::size_t k = lo + 1; k + 2 <= up; ++k) I += (t[k + 1] - t[k]) * 0.5 * (V[k] + V[k + 1]);
    const double f2 = (b - t[up - 1]) / (t[up] - t[up - 1]);
    I += (b - t[up - 1]) * (V[up - 1] + 0.5 * f2 * (V[up] - V[up - 1]));
    M = I / W;
    P += (M + Mprev) * 0.5 * (t[j] - t[j - 1]);
    track[j] = static_cast<float>(P);
  }
  if (j > n) j = n;
  const double off = P - m.p[j];
  for (std::size_t i = j; i <= n; ++i) track[i] = static_cast<float>(m.p[i] + off);
  return track;
}

TEST(SmoothTrack, RunningSumsAgreeWithTheDirectSum) {
  // Uneven steps and a surging speed.
  Motion m = Surging(0.01, 60.0, 35.0, 5.0, 0.9);
  for (std::size_t i = 0; i < m.t.size(); ++i) m.t[i] += 0.003 * std::sin(7.0 * i);
  const auto fast = BuildSmoothTrack(m.t, m.p, m.v, 0.0, 60.0, 8.0f);
  const auto direct = DirectTrack(m, 0.0, 60.0, 8.0);
  ASSERT_EQ(fast.size(), direct.size());
  for (std::size_t i = 0; i < fast.size(); ++i) ASSERT_NEAR(fast[i], direct[i], 1e-3) << i;
}

TEST(SmoothTrack, TinyHistories) {
  EXPECT_TRUE(BuildSmoothTrack({}, {}, {}, 0, 10, 8.0f).empty());
  const std::vector<double> t{0.0};
  const std::vector<float> p{3.0f}, v{1.0f};
  EXPECT_EQ(BuildSmoothTrack(t, p, v, 0, 100, 8.0f), p);
}

}  // namespace
}  // namespace hulvex
