// The side view of one step as polylines in picture coordinates (boat lengths), and the fixed
// scale that maps them to pixels of the 620 x 300 picture.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace hulvex {

// One entry of the display list: a point (X, Y) or a marker in `a`.
struct DisplayPair {
  float a = 0;
  float b = 0;
};

// Marker values in the first member of a pair.
constexpr float kStartMarker = -16.0f;    // (-16, -16): start, keep the pen; (-16, c): start, pen colour c
constexpr float kEndLineMarker = -32.0f;  // (-32, 0): end of the polyline
constexpr float kEndListMarker = -64.0f;  // (-64, 0): end of the list

// Pen colours in the 0x00BBGGRR form.
constexpr std::int32_t kColourBlack = 0;
constexpr std::int32_t kColourBlue = 0xFF0000;
constexpr std::int32_t kColourRed = 0x0000FF;

// A display list of at most kMaxPairs pairs, overwritten in place by every frame.
struct DisplayList {
  static constexpr std::size_t kMaxPairs = 199;
  std::array<DisplayPair, kMaxPairs> pairs{};
  std::size_t count = 0;
};

// The picture's pixel size and its fixed scale: pixel = (round(ScaleX * X + OriginX),
// round(ScaleY * Y + OriginY)), halves to even.
constexpr int kFrameWidth = 620;
constexpr int kFrameHeight = 300;
struct PictureScale {
  float OriginX = 120.0f;
  float OriginY = 180.0f;
  float ScaleX = 400.0f;
  float ScaleY = -400.0f;
  // Pen width, font size and readout position in pixels are multiplied by this (1 or more).
  int Magnification = 1;
};

// The fixed scale drawn k times larger (k >= 1): a picture of k x 620 by k x 300 pixels.
constexpr PictureScale MagnifiedScale(int k) {
  const auto f = static_cast<float>(k);
  return PictureScale{120.0f * f, 180.0f * f, 400.0f * f, -400.0f * f, k};
}

}  // namespace hulvex
