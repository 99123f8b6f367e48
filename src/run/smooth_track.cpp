#include "run/smooth_track.h"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace hulvex {

std::vector<float> BuildSmoothTrack(std::span<const double> t, std::span<const float> p, std::span<const float> v,
                                    double t0, double tE, float W) {
  std::vector<float> track(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(std::min(t.size(), p.size())));
  SmoothTrackInPlace(t, track, v, t0, tE, W);
  return track;
}

void SmoothTrackInPlace(std::span<const double> t, std::span<float> track, std::span<const float> v, double t0,
                        double tE, float W) {
  // track[i] is still the position p[i] wherever it is read: the middle part writes step j only
  // after reading the positions it needs, and the tail reads each p[i] before writing it.
  const std::span<const float> p = track;
  const std::size_t count = t.size();
  if (count < 2 || p.size() < count || v.size() < count) return;
  if (!(t0 + W <= tE)) return;  // shorter than one window (or not comparable)

  const std::size_t n = count - 1;
  const double h = W / 2.0;
  std::size_t j = 1;
  while (j <= n && !(t[j] >= t0 + h)) ++j;
  if (j > n) return;

  // The speeds enter every formula as doubles.
  auto V = [&](std::size_t i) { return static_cast<double>(v[i]); };
  double P = track[j];
  double M = V(j);
  std::size_t lo = 0, up = 0;
  // The trapezoid sum over the whole steps inside a window, sum of T(m) for m = lo + 1 ... up - 2
  // with T(m) = (t[m+1] - t[m]) * (V[m] + V[m+1]) / 2, is kept as the difference of two running
  // sums (extended precision) that move forward with lo and up, instead of being summed anew
  // for every step.
  auto T = [&](std::size_t m) { return (t[m + 1] - t[m]) * 0.5 * (V(m) + V(m + 1)); };
  long double sumToLo = 0, sumToUp = 0;  // sums of T(m) for m < kLo and m < kUp
  std::size_t kLo = 0, kUp = 0;
  for (;;) {
    ++j;
    if (j > n) {
      j = n;
      break;
    }
    const double Mprev = M;
    const double a = t[j] - h;
    const double b = t[j] + h;
    if (b > tE) break;
    while (lo + 1 <= n && t[lo + 1] < a) ++lo;
    while (up <= n && t[up] < b) ++up;
    if (lo + 1 > n || up > n || up == 0) break;  // the step times do not cover the window

    const double d1 = t[lo + 1] - t[lo];
    const double f1 = d1 != 0 ? (t[lo + 1] - a) / d1 : 0.0;
    double I = (t[lo + 1] - a) * (V(lo + 1) + 0.5 * f1 * (V(lo) - V(lo + 1)));
    for (; kLo < lo + 1; ++kLo) sumToLo += T(kLo);
    for (; kUp + 1 < up; ++kUp) sumToUp += T(kUp);
    if (up >= lo + 3) I += static_cast<double>(sumToUp - sumToLo);
    const double d2 = t[up] - t[up - 1];
    const double f2 = d2 != 0 ? (b - t[up - 1]) / d2 : 0.0;
    I += (b - t[up - 1]) * (V(up - 1) + 0.5 * f2 * (V(up) - V(up - 1)));

    M = I / W;
    P += (M + Mprev) * 0.5 * (t[j] - t[j - 1]);
    track[j] = static_cast<float>(P);
  }

  const double offset = P - p[j];
  for (std::size_t i = j; i <= n; ++i) track[i] = static_cast<float>(p[i] + offset);
}

std::vector<float> BuildCameraTrack(const TimeHistory& history, std::span<const float> distance,
                                    std::span<const float> speed) {
  return BuildSmoothTrack(history.StepTimes, distance, speed, history.Header.StartTime, history.Header.EndTime,
                          kTrackWindow);
}

std::vector<float> BuildCameraTrack(const TimeHistory& history, std::vector<float>&& distance,
                                    std::span<const float> speed) {
  std::vector<float> track = std::move(distance);
  track.resize(std::min(track.size(), history.StepTimes.size()));
  SmoothTrackInPlace(history.StepTimes, track, speed, history.Header.StartTime, history.Header.EndTime, kTrackWindow);
  return track;
}

}  // namespace hulvex
