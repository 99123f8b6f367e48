// hulvex_video_probe FILE [FRAME ...]: what a video file holds (codec, size, frames, duration,
// rate, GIF loop count), and the given frames as FILE-FRAME.png beside it.

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "export/video_decoding.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [FRAME ...]\n", argv[0]);
    return 2;
  }
  std::set<std::int64_t> keep;
  for (int i = 2; i < argc; ++i) keep.insert(std::strtoll(argv[i], nullptr, 10));
  try {
    const auto v = hulvex::test::DecodeVideo(argv[1], keep);
    std::printf("%s: %s %d x %d, %lld frames, %.3f s, %.3f frames/s", argv[1], v.codec.c_str(), v.width, v.height,
                static_cast<long long>(v.frames), v.duration, v.frameRate);
    if (v.loop != -2) std::printf(", loop %d", v.loop);
    std::printf("\n");
    for (const auto& [index, image] : v.kept) {
      const QString png = QString::fromLocal8Bit(argv[1]) + QStringLiteral("-%1.png").arg(index);
      if (!image.save(png)) std::fprintf(stderr, "cannot write %s\n", qPrintable(png));
      else std::printf("wrote %s\n", qPrintable(png));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    return 1;
  }
  return 0;
}
