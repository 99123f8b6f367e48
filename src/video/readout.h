// The readout line above the picture: time, speed in knots, vertical acceleration in g.
#pragma once

#include <string>

namespace hulvex {

// `v` in fixed-point notation with `decimals` digits after the point, right-aligned in `width`
// characters (a longer number takes the room it needs). NaN and infinities are written "NaN",
// "+Inf" and "-Inf", right-aligned the same way.
std::string FormatFixed(double v, int width, int decimals);

// The readout text for time T (s), acceleration Accel (ft/s^2) and speed Speed (ft/s): the time
// (width 12, 6 decimals), the speed in knots (width 12, 2 decimals) and "kt", the acceleration
// in g (width 12, 3 decimals) and "g", each number cut to 15 characters and the text cut after
// each piece to 30, 32, 47 and 48 characters. Ordinary values give 39 characters.
std::string ReadoutText(double T, double Accel, double Speed);

}  // namespace hulvex
