// Writing pictures of one size at a constant frame rate to a video file (FFmpeg libraries).
#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace hulvex {

enum class VideoFormat {
  Mp4,   // H.264, yuv420p, the index at the front of the file
  WebM,  // VP9, yuv420p
  Gif,   // looping forever, palette of the picture's four colours and the further runs' colours
};

// The format a file name asks for by its extension, in any letter case: ".mp4", ".webm" or
// ".gif". Nothing for any other name.
std::optional<VideoFormat> VideoFormatOfPath(const std::string& path);

// The frame rates a format can hold, in frames per second: 1 ... 120, and for GIF 1 ... 50 (its
// frame delays are hundredths of a second, and viewers slow down shorter ones).
int MaxFramesPerSecond(VideoFormat format);

// The format of path's extension (VideoFormatOfPath), when it holds `fps` frames per second.
// Throws Error saying which of the two is wrong.
VideoFormat CheckVideoTarget(const std::string& path, int fps);

// The picture's colours as the GIF palette holds them (0xAARRGGBB): white, black, blue, red.
inline constexpr std::array<std::uint32_t, 4> kGifPalette{0xFFFFFFFFu, 0xFF000000u, 0xFF0000FFu, 0xFFFF0000u};

// The index in kGifPalette of the colour nearest to an RGB32 pixel (least squared RGB distance,
// the first of equals).
std::uint8_t NearestPaletteIndex(QRgb p);

// One video file being written. The frames go to a temporary file beside `path` ("PATH.part");
// only Finish moves it to `path`. Abandon, a failure and the destructor remove it, so a file that
// was already at `path` is replaced only by a complete video.
class VideoFileWriter {
public:
  // Opens the file for frames of width x height pixels (both positive and even) at `fps` frames
  // per second (1 ... MaxFramesPerSecond), in the format of path's extension. Throws Error for
  // an unknown extension, a size or rate out of bounds, an encoder this FFmpeg lacks, or a file
  // that cannot be created.
  VideoFileWriter(const std::string& path, int width, int height, int fps);
  ~VideoFileWriter();
  VideoFileWriter(const VideoFileWriter&) = delete;
  VideoFileWriter& operator=(const VideoFileWriter&) = delete;

  // Encodes `picture` (QImage::Format_RGB32, the writer's size) as the next frame, shown for
  // 1 / fps seconds. A GIF keeps the picture's four colours and the further runs' colours
  // (RunColour) exactly when the picture holds no others, and otherwise takes each pixel as the
  // nearest of its four colours; MP4 and WebM code
  // a picture of only those colours for the least RGB error (four_colour_yuv.h), any other
  // picture with a plain BT.601 conversion. Throws Error for
  // a picture of another size or format, or when encoding or writing fails (the writer is then
  // abandoned).
  void AddFrame(const QImage& picture);

  // Flushes the encoder, completes the file and moves it to its path. Throws Error when that
  // fails (nothing is left then). At least one frame must have been added.
  void Finish();

  // Stops writing and removes the temporary file. Does nothing after Finish.
  void Abandon();

private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace hulvex
