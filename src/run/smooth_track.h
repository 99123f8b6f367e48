// The camera track of the playback: the boat's position along its course with its speed averaged
// over a sliding window, so that the picture follows the mean motion and shows the surges.
#pragma once

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

// The camera track of an open history from its channels 6 (`distance`) and 7 (`speed`) held in
// memory, one value per readable step: BuildSmoothTrack with the history's step times,
// StartTime and EndTime and the 8 s window.
std::vector<float> BuildCameraTrack(const TimeHistory& history, std::span<const float> distance,
                                    std::span<const float> speed);
// The same built in the storage of `distance`, which it takes.
std::vector<float> BuildCameraTrack(const TimeHistory& history, std::vector<float>&& distance,
                                    std::span<const float> speed);

}  // namespace hulvex
