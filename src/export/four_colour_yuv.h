// yuv420p for pictures that hold only the picture's four colours (white, black, blue, red).
//
// A plain conversion averages the chroma of each 2 x 2 block, which turns a one-pixel blue line or
// red letter on white into pale pixels. Here each block's chroma and each pixel's luma are chosen
// so that a decoder's BT.601 (limited range) conversion, with its clipping to 0 ... 255, comes
// as close to the picture's RGB values as it can; white is kept at the top of the luma range, so
// chroma that spreads into it from a neighbouring block is clipped away.
#pragma once

#include <cstdint>
#include <vector>

namespace hulvex {

// Palette indices: 0 white, 1 black, 2 blue, 3 red (the order of kGifPalette).
class FourColourYuvCoder {
public:
  // `indices` holds width x height indices row by row (width and height even). Writes the Y plane
  // (width x height) and the U and V planes (width/2 x height/2) with the given strides.
  void Convert(const std::uint8_t* indices, int width, int height, std::uint8_t* y, int yStride, std::uint8_t* u,
               int uStride, std::uint8_t* v, int vStride);

private:
  // Per 2 x 2 block: whether all four pixels are white; the chroma offsets its coloured
  // neighbours hand on to it, with their weights.
  std::vector<std::uint8_t> allWhite_;
  std::vector<int> sumU_, sumV_, weight_;
  std::vector<int> touched_;
  std::vector<int> coloured_;
};

}  // namespace hulvex
