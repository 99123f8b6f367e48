#include "run/smooth_track.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "common/check.h"

namespace hulvex {

std::vector<float> BuildSmoothTrack(std::span<const double> t, std::span<const float> p, std::span<const float> v,
                                    double t0, double tE, float W) {
  std::vector<float> track(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(std::min(t.size(), p.size())));
  SmoothTrackInPlace(t, track, v, t0, tE, W);
  return track;
}

void SmoothTrackInPlace(std::span<const double> t, std::span<float> track, std::span<const float> v, double t0,
                        double tE, float W) {
  if (track.size() < t.size()) return;
  TrackProgress progress;
  AdvanceSmoothTrack(t, track, v, 0, t0, tE, W, progress);
  // The tail reads each p[i] before writing it; the middle part left p in place after Last.
  ApplyTrackTail(track.first(t.size()), track, 0, progress);
}

void AdvanceSmoothTrack(std::span<const double> t, std::span<float> track, std::span<const float> v,
                        std::size_t vBase, double t0, double tE, float W, TrackProgress& progress) {
  const std::size_t count = t.size();
  if (count < 2 || track.size() < count || v.size() + vBase < count) return;
  if (!(t0 + W <= tE)) return;  // shorter than one window (or not comparable)
  if (progress.Finished) return;

  const std::size_t n = count - 1;
  const double h = W / 2.0;
  // The speeds enter every formula as doubles.
  auto V = [&](std::size_t i) {
    HULVEX_ASSERT(i >= vBase);
    return static_cast<double>(v[i - vBase]);
  };
  TrackProgress& g = progress;
  if (!g.Started) {
    std::size_t j = std::max<std::size_t>(g.Last, 1);
    while (j <= n && !(t[j] >= t0 + h)) ++j;
    if (j > n) {
      g.Last = j;
      return;
    }
    g.Started = true;
    g.Last = j;
    g.P = track[j];
    g.M = V(j);
  }
  track[g.Last] = static_cast<float>(g.P);  // a tail written before may have covered it

  // The trapezoid sum over the whole steps inside a window, sum of T(m) for m = lo + 1 ... up - 2
  // with T(m) = (t[m+1] - t[m]) * (V[m] + V[m+1]) / 2, is kept as the difference of two running
  // sums (extended precision) that move forward with lo and up, instead of being summed anew
  // for every step.
  auto T = [&](std::size_t m) { return (t[m + 1] - t[m]) * 0.5 * (V(m) + V(m + 1)); };
  std::size_t& lo = g.Lo;
  std::size_t& up = g.Up;
  for (;;) {
    const std::size_t j = g.Last + 1;
    if (j > n) return;  // the next step is not there yet
    const double a = t[j] - h;
    const double b = t[j] + h;
    if (b > tE) {
      g.Finished = true;
      return;
    }
    while (lo + 1 <= n && t[lo + 1] < a) ++lo;
    while (up <= n && t[up] < b) ++up;
    if (lo + 1 > n || up > n || up == 0) return;  // the step times do not cover the window (yet)

    const double d1 = t[lo + 1] - t[lo];
    const double f1 = d1 != 0 ? (t[lo + 1] - a) / d1 : 0.0;
    double I = (t[lo + 1] - a) * (V(lo + 1) + 0.5 * f1 * (V(lo) - V(lo + 1)));
    for (; g.KLo < lo + 1; ++g.KLo) g.SumToLo += T(g.KLo);
    for (; g.KUp + 1 < up; ++g.KUp) g.SumToUp += T(g.KUp);
    if (up >= lo + 3) I += static_cast<double>(g.SumToUp - g.SumToLo);
    const double d2 = t[up] - t[up - 1];
    const double f2 = d2 != 0 ? (b - t[up - 1]) / d2 : 0.0;
    I += (b - t[up - 1]) * (V(up - 1) + 0.5 * f2 * (V(up) - V(up - 1)));

    const double Mprev = g.M;
    g.M = I / W;
    g.P += (g.M + Mprev) * 0.5 * (t[j] - t[j - 1]);
    track[j] = static_cast<float>(g.P);
    g.Last = j;
  }
}

void ApplyTrackTail(std::span<float> track, std::span<const float> positions, std::size_t pBase,
                    TrackProgress& progress, std::size_t from) {
  if (track.empty() || !progress.Started) return;
  const std::size_t n = track.size() - 1;
  const std::size_t begin = progress.TailBegin(n);
  if (begin > n) return;
  const std::size_t first = std::max(from, begin);
  HULVEX_ASSERT(first >= pBase && n - pBase < positions.size());
  if (begin >= pBase) progress.Offset = progress.P - positions[begin - pBase];
  else HULVEX_ASSERT(progress.Finished);
  const double offset = progress.Offset;
  for (std::size_t i = first; i <= n; ++i)
    track[i] = static_cast<float>(positions[i - pBase] + offset);
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

void FeedCameraTrack(const TimeHistory& history, std::vector<float>& track, CameraTrackFeed& feed, std::size_t from) {
  TrackProgress& g = feed.Progress;
  const bool wasFinished = g.Finished;
  AdvanceSmoothTrack(history.StepTimes, track, feed.Speed, feed.Base, history.Header.StartTime, history.Header.EndTime,
                     kTrackWindow, g);
  ApplyTrackTail(track, feed.Distance, feed.Base, g, wasFinished ? from : 0);
  // What later steps still read: nothing of a finished track, every step of one not started.
  const std::size_t end = feed.Base + feed.Distance.size();
  std::size_t keep = feed.Base;
  if (g.Finished) keep = end;
  else if (g.Started) keep = std::min({g.Lo, g.KLo, g.Last});
  // Dropped in large pieces, so that the cost per step stays constant.
  const std::size_t drop = keep - std::min(keep, feed.Base);
  if (drop > 0 && (drop >= 4096 || drop == feed.Distance.size())) {
    const auto n = static_cast<std::ptrdiff_t>(std::min(drop, feed.Distance.size()));
    feed.Distance.erase(feed.Distance.begin(), feed.Distance.begin() + n);
    feed.Speed.erase(feed.Speed.begin(), feed.Speed.begin() + std::min<std::ptrdiff_t>(n, static_cast<std::ptrdiff_t>(feed.Speed.size())));
    feed.Base += static_cast<std::size_t>(n);
  }
}

}  // namespace hulvex
