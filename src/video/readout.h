// The readout line above the picture: time, speed in knots, vertical acceleration in g.
#pragma once

#include <string>

namespace hulvex {

// The readout text for time T (s), acceleration Accel (ft/s^2) and speed Speed (ft/s): the time
// (width 12, 6 decimals), the speed in knots (width 12, 2 decimals) and "kt", the acceleration
// in g (width 12, 3 decimals) and "g", each number cut to 15 characters and the text cut after
// each piece to 30, 32, 47 and 48 characters. Ordinary values give 39 characters.
std::string ReadoutText(double T, double Accel, double Speed);

}  // namespace hulvex
