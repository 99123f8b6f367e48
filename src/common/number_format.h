// Numbers as the program writes them: in texts a person reads, and in JSON.
#pragma once

#include <string>

namespace hulvex {

// `v` in fixed-point notation with `decimals` digits after the point, right-aligned in `width`
// characters (a longer number takes the room it needs). NaN and infinities are written "NaN",
// "+Inf" and "-Inf", right-aligned the same way.
std::string FormatFixed(double v, int width, int decimals);

// `v` with at most `digits` significant digits, as printf's "%.{digits}g" ("0.05", "1.5e+07",
// "nan", "-inf").
std::string FormatSignificant(double v, int digits);

// A time or duration in a message: nine significant digits and " s" ("0.01 s", "12.3456789 s"),
// enough to tell apart steps 10 µs apart in a run of an hour.
std::string FormatSeconds(double t);

// The shortest text that reads back (strtod) as exactly `v`, laid out as printf's "%.17g" lays it
// out: plain notation for exponents -4 ... 16 (integral values without a point: "100", "-0"),
// otherwise "1e+21", "5e-324". NaN and the infinities, which JSON lacks, are the strings "NaN",
// "Infinity" and "-Infinity", quotes included.
std::string FormatJsonNumber(double v);

}  // namespace hulvex
