// Units and constants the demonstration cases and the motion model share.
#pragma once

#include <numbers>

#include "common/constants.h"

namespace hulvex::demo {

inline constexpr double kDeg = std::numbers::pi / 180.0;  // rad per degree

inline double KnotsToFtPerS(double knots) { return knots / kFtPerSToKnots; }

}  // namespace hulvex::demo
