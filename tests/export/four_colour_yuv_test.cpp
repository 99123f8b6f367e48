#include "export/four_colour_yuv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "export/video_decoding.h"
#include "export/video_file_writer.h"

namespace hulvex {
namespace {

// A one-pixel line of every colour on white, across the picture, at even and odd rows and columns
// (its 2 x 2 chroma blocks shared with white in either half): coded and decoded as a player shows
// it, every pixel of the line stays nearest its own colour and every other pixel nearest white.
TEST(FourColourYuvCoder, ThinLinesKeepTheirColour) {
  constexpr int kSize = 16;
  const char* names[] = {"white", "black", "blue", "red"};
  FourColourYuvCoder coder;
  for (std::uint8_t colour = 1; colour < 4; ++colour) {
    for (const bool horizontal : {true, false}) {
      for (const int at : {6, 7}) {
        SCOPED_TRACE(std::string(names[colour]) + (horizontal ? " row " : " column ") + std::to_string(at));
        std::vector<std::uint8_t> indices(kSize * kSize, 0);
        for (int i = 0; i < kSize; ++i) indices[horizontal ? at * kSize + i : i * kSize + at] = colour;
        std::vector<std::uint8_t> y(kSize * kSize), u(kSize * kSize / 4), v(kSize * kSize / 4);
        coder.Convert(indices.data(), kSize, kSize, y.data(), kSize, u.data(), kSize / 2, v.data(), kSize / 2);
        const std::uint8_t* planes[3] = {y.data(), u.data(), v.data()};
        const int strides[3] = {kSize, kSize / 2, kSize / 2};
        const QImage shown = test::Yuv420ToImage(kSize, kSize, planes, strides);
        for (int row = 0; row < kSize; ++row)
          for (int col = 0; col < kSize; ++col) {
            const int want = indices[static_cast<std::size_t>(row * kSize + col)];
            EXPECT_EQ(static_cast<int>(NearestPaletteIndex(shown.pixel(col, row))), want)
                << "pixel " << col << "," << row << " shown as " << std::hex << shown.pixel(col, row);
          }
      }
    }
  }
}

}  // namespace
}  // namespace hulvex
