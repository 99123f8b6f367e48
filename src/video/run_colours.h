// The colours that tell compared runs apart, for the overlaid video and the viewer's plots alike.
#pragma once

#include <array>
#include <cstdint>

#include "run/time_navigation.h"

namespace hulvex {

struct RunRgb {
  std::uint8_t R = 0, G = 0, B = 0;
  friend constexpr bool operator==(const RunRgb&, const RunRgb&) = default;
};

// The further runs' colours in order (Okabe-Ito, told apart with any colour vision): orange, sky
// blue, bluish green, vermillion, reddish purple, blue, yellow.
inline constexpr std::array<RunRgb, kMaxComparedRuns - 1> kFurtherRunColours{{
    {0xE6, 0x9F, 0x00},
    {0x56, 0xB4, 0xE9},
    {0x00, 0x9E, 0x73},
    {0xD5, 0x5E, 0x00},
    {0xCC, 0x79, 0xA7},
    {0x00, 0x72, 0xB2},
    {0xF0, 0xE4, 0x42},
}};

// The colour of compared run `run` in argument order: run 0, the reference, is black (the
// picture's own hull colour); runs 1 ... 7 take kFurtherRunColours in order. Any other index
// wraps round the further runs' colours.
constexpr RunRgb RunColour(int run) {
  if (run == 0) return {};
  const int n = static_cast<int>(kFurtherRunColours.size());
  const int i = ((run - 1) % n + n) % n;
  return kFurtherRunColours[static_cast<std::size_t>(i)];
}

}  // namespace hulvex
