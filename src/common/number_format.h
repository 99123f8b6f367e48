// Numbers as the program writes them in its texts.
#pragma once

#include <string>

namespace hulvex {

// `v` in fixed-point notation with `decimals` digits after the point, right-aligned in `width`
// characters (a longer number takes the room it needs). NaN and infinities are written "NaN",
// "+Inf" and "-Inf", right-aligned the same way.
std::string FormatFixed(double v, int width, int decimals);

}  // namespace hulvex
