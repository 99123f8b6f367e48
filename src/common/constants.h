// Named constants of the formulas and display conversions. Each has the exact value the stored
// data were computed with; where a value follows from another one, the relation is checked here.
#pragma once

namespace hulvex {

// Pi as the simulator writes it: the twelve-digit literal, not the double nearest to pi.
inline constexpr double kPi12 = 3.14159265359;
// 2 pi of the trochoidal sea: the literal 6.28318530718, twice the twelve-digit pi.
inline constexpr double kTwoPi12 = 6.28318530718;
// 1/pi and 1/(2 pi) of the twelve-digit pi, rounded to double.
inline constexpr double kInvPi = 0.3183098861837697;
inline constexpr double kInv2Pi = 0.15915494309188485;
// Degrees to radians: the twelve-digit pi over 180, rounded to double.
inline constexpr double kDegToRad = 0.017453292519944444;
// Degrees to radians of the hull set-up's tangents: the simulator's own eight-digit factor.
inline constexpr double kDegToRadForTan = 0.017453293;

// Gravity, ft/s^2, the one value the simulator uses everywhere.
inline constexpr double kG = 32.18;
// g/2, which the Stokes wave speed is written with.
inline constexpr double kHalfG = 16.09;
// 1/g rounded to double.
inline constexpr double kInvG = 0.031075201988812928;
// 2 pi g as the sea set-up writes it: a literal one unit in the last place below the product of
// the twelve-digit pi and g.
inline constexpr double kTwoPiG = 202.1929031850524;

// Display conversions: ft/s^2 to g (1/g), radians to degrees (180 over the twelve-digit pi) and
// ft/s to knots (3600 s per hour over 6072 ft per nautical mile).
inline constexpr double kFtPerS2ToG = kInvG;
inline constexpr double kRadToDeg = 57.29577951307855;
inline constexpr double kFtPerSToKnots = 0.5928853754940712;

static_assert(kTwoPi12 == 2 * kPi12);
static_assert(kInvPi == 1 / kPi12);
static_assert(kInv2Pi == 1 / (2 * kPi12));
static_assert(kDegToRad == kPi12 / 180);
static_assert(kHalfG == kG / 2);
static_assert(kInvG == 1 / kG);
static_assert(kRadToDeg == 180 / kPi12);
static_assert(kFtPerSToKnots == 3600.0 / 6072.0);

}  // namespace hulvex
