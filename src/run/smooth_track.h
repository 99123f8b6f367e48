// The camera track of the playback: the boat's position along its course with its speed averaged
// over a sliding window, so that the picture follows the mean motion and shows the surges.
#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "runfiles/time_history.h"

namespace hulvex {

// Window of the camera track, s.
constexpr float kTrackWindow = 8.0f;

// Builds SmoothTrack for steps 0 ... n from the step times t, the positions p (channel 6, ft) and
// speeds v (channel 7, ft/s) of every step, the history's StartTime t0 and EndTime tE, and the
// window length W (s). All three spans have n + 1 entries. The track equals p during the first
// half window, integrates the window-mean speed (trapezoid rule, linear interpolation at the
// window ends) in the middle, and follows p with a constant offset in the last half window.
// A history shorter than one window (t0 + W > tE, or times that never reach t0 + W/2) gives the
// track p itself. Step times that do not increase, or fall short of tE, end the middle part
// early; nothing is read outside the spans.
std::vector<float> BuildSmoothTrack(std::span<const double> t, std::span<const float> p, std::span<const float> v,
                                    double t0, double tE, float W);

// The same computed in the positions' own storage: `track` holds p on entry and the track on return
// (its first t.size() entries; nothing is changed when it is shorter than t).
void SmoothTrackInPlace(std::span<const double> t, std::span<float> track, std::span<const float> v, double t0,
                        double tE, float W);

// How far the middle part of a track has been computed, for continuing it when steps are added:
// the middle value of step Last + 1 needs the speeds of the steps up to half a window after it,
// so a growing history extends it, and the track's tail (the positions with the offset of the
// last middle value) changes with every extension until the middle part is Finished.
struct TrackProgress {
  bool Started = false;   // the first middle step (half a window after StartTime) was found
  bool Finished = false;  // the window passed EndTime: the middle part is complete
  std::size_t Last = 0;   // the last step with its middle value (before Started: where the search stands)
  double P = 0, M = 0;    // the track at Last and the window-mean speed there
  std::size_t Lo = 0, Up = 0, KLo = 0, KUp = 0;
  long double SumToLo = 0, SumToUp = 0;
  double Offset = 0;      // P - p[TailBegin], as ApplyTrackTail last took it
  // The first step of the tail (the track is p[i] + P - p[TailBegin] from there); n + 1 (none)
  // for a track that has not started.
  std::size_t TailBegin(std::size_t n) const { return Started ? std::min(Last + 1, n) : n + 1; }
};

// The middle part of the track for steps 0 ... n = t.size() - 1, continued from `progress` (a
// default one for a new track) as far as the steps allow, writing track[i] for the steps it
// computes (and track[Last] again). Needs the speeds v[i - vBase] of the steps from
// min(progress.Lo, progress.KLo) on (all of them for a track not started), and, for a track not
// yet started, the positions in track. Throws InternalError when a speed needed lies before vBase.
void AdvanceSmoothTrack(std::span<const double> t, std::span<float> track, std::span<const float> v,
                        std::size_t vBase, double t0, double tE, float W, TrackProgress& progress);

// The tail of the track: track[i] = p[i] + Offset for the steps i >= max(from, TailBegin) of
// `track`, p[i] being positions[i - pBase]. Offset = P - p[TailBegin] is taken anew when the
// positions hold TailBegin; a Finished track keeps the one taken last, so its positions are needed
// only from `from` on.
void ApplyTrackTail(std::span<float> track, std::span<const float> positions, std::size_t pBase,
                    TrackProgress& progress, std::size_t from = 0);

// The camera track of an open history from its channels 6 (`distance`) and 7 (`speed`) held in
// memory, one value per readable step: BuildSmoothTrack with the history's step times,
// StartTime and EndTime and the 8 s window.
std::vector<float> BuildCameraTrack(const TimeHistory& history, std::span<const float> distance,
                                    std::span<const float> speed);
// The same built in the storage of `distance`, which it takes.
std::vector<float> BuildCameraTrack(const TimeHistory& history, std::vector<float>&& distance,
                                    std::span<const float> speed);

}  // namespace hulvex

namespace hulvex {

// A growing history's camera track: its progress and the raw channels 6 and 7 that its unfinished
// part still needs, Distance[k] and Speed[k] being those of step Base + k, up to the last step read.
struct CameraTrackFeed {
  TrackProgress Progress;
  std::size_t Base = 0;
  std::vector<float> Distance, Speed;
};

// Brings `track` up to the history's steps: on entry track[i] holds the track for the steps before
// `from` (as this function left it) and the raw position from `from` on, and the feed holds both
// channels from its Base to the last step; computes what the new steps change (the middle part
// from where it stood, the tail) and drops from the feed what is no longer needed. With from = 0
// and a default feed holding every step this is BuildCameraTrack, value for value.
void FeedCameraTrack(const TimeHistory& history, std::vector<float>& track, CameraTrackFeed& feed, std::size_t from);

}  // namespace hulvex
