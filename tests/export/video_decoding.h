// Reading back a written video with the FFmpeg libraries, for the tests and the probe tool.
#pragma once

#include <QImage>

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace hulvex::test {

struct DecodedVideo {
  std::string codec;            // the decoder's name: "h264", "vp9", "gif"
  int width = 0;
  int height = 0;
  std::int64_t frames = 0;      // frames decoded
  double duration = 0;          // s: the last frame's time plus its duration
  double frameRate = 0;         // frames per second, as the stream states it
  int loop = -2;                // GIF loop count (0: for ever); -2 when the file says nothing
  std::map<std::int64_t, QImage> kept;  // the frames asked for, as QImage::Format_RGB32
};

// Decodes every frame of `path` and keeps those whose index is in `keep`. Throws
// std::runtime_error when the file cannot be read.
DecodedVideo DecodeVideo(const std::string& path, const std::set<std::int64_t>& keep = {});

// The picture a player shows for yuv420p planes (width x height luma, half-size chroma), converted
// to RGB as DecodeVideo converts decoded frames (BT.601, limited range).
QImage Yuv420ToImage(int width, int height, const std::uint8_t* const planes[3], const int strides[3]);

// Peak signal-to-noise ratio over the R, G and B values of two pictures of one size, dB
// (infinity when they are equal).
double Psnr(const QImage& a, const QImage& b);

}  // namespace hulvex::test
