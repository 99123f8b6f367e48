#include "export/video_file_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <vector>

#include "common/error.h"
#include "export/four_colour_yuv.h"

namespace hulvex {
namespace {

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// The libraries' own log lines (encoder statistics, notes) are not the program's messages;
// failures are reported through Error with the library's reason.
void QuietLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

const char* MuxerName(VideoFormat f) {
  switch (f) {
    case VideoFormat::Mp4: return "mp4";
    case VideoFormat::WebM: return "webm";
    case VideoFormat::Gif: return "gif";
  }
  return "";
}

const AVCodec* FindEncoder(VideoFormat f) {
  switch (f) {
    case VideoFormat::Mp4:
      if (const AVCodec* c = avcodec_find_encoder_by_name("libx264")) return c;
      return avcodec_find_encoder(AV_CODEC_ID_H264);
    case VideoFormat::WebM:
      if (const AVCodec* c = avcodec_find_encoder_by_name("libvpx-vp9")) return c;
      return avcodec_find_encoder(AV_CODEC_ID_VP9);
    case VideoFormat::Gif: return avcodec_find_encoder(AV_CODEC_ID_GIF);
  }
  return nullptr;
}

const char* CodecName(VideoFormat f) {
  switch (f) {
    case VideoFormat::Mp4: return "H.264";
    case VideoFormat::WebM: return "VP9";
    case VideoFormat::Gif: return "GIF";
  }
  return "";
}

// Index of an RGB32 pixel's colour in the palette, or -1 for another colour.
int ExactPaletteIndex(QRgb p) {
  switch (p & 0xFFFFFFu) {
    case 0xFFFFFFu: return 0;
    case 0x000000u: return 1;
    case 0x0000FFu: return 2;
    case 0xFF0000u: return 3;
    default: return -1;
  }
}

// Index of the palette colour nearest to an RGB32 pixel.
std::uint8_t NearestPaletteIndex(QRgb p) {
  std::uint8_t best = 0;
  int bestDistance = 1 << 30;
  for (std::uint8_t i = 0; i < kGifPalette.size(); ++i) {
    const QRgb c = kGifPalette[i];
    const int dr = qRed(p) - qRed(c), dg = qGreen(p) - qGreen(c), db = qBlue(p) - qBlue(c);
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

}  // namespace

std::optional<VideoFormat> VideoFormatOfPath(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".mp4") return VideoFormat::Mp4;
  if (ext == ".webm") return VideoFormat::WebM;
  if (ext == ".gif") return VideoFormat::Gif;
  return std::nullopt;
}

int MaxFramesPerSecond(VideoFormat format) { return format == VideoFormat::Gif ? 50 : 120; }

struct VideoFileWriter::State {
  VideoFormat format = VideoFormat::Mp4;
  std::string path;
  std::string tempPath;
  int width = 0;
  int height = 0;
  AVFormatContext* container = nullptr;
  AVCodecContext* encoder = nullptr;
  AVStream* stream = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* rgb = nullptr;  // a padded copy of a picture for the conversion, when one is needed
  AVPacket* packet = nullptr;
  SwsContext* converter = nullptr;
  std::vector<std::uint8_t> indices;  // palette index per pixel of the frame being added
  FourColourYuvCoder coder;
  std::int64_t frames = 0;
  bool headerWritten = false;
  bool finished = false;

  ~State() { Release(); }

  // Frees everything and closes the temporary file (which stays on disk).
  void Release() {
    sws_freeContext(converter);
    converter = nullptr;
    av_packet_free(&packet);
    av_frame_free(&frame);
    av_frame_free(&rgb);
    avcodec_free_context(&encoder);
    if (container) {
      // Some muxers (GIF) free what they hold only in their trailer, so an abandoned file gets one too.
      if (headerWritten) av_write_trailer(container);
      headerWritten = false;
      if (container->pb) avio_closep(&container->pb);
      avformat_free_context(container);
      container = nullptr;
    }
    stream = nullptr;
  }

  void RemoveTemporary() {
    Release();
    std::error_code ec;
    std::filesystem::remove(tempPath, ec);
  }

  [[noreturn]] void Fail(const std::string& what, int code) {
    RemoveTemporary();
    throw Error(what + ": " + AvErrorText(code));
  }

  // Hands every packet the encoder has ready to the container.
  void Drain() {
    for (;;) {
      const int r = avcodec_receive_packet(encoder, packet);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
      if (r < 0) Fail("Cannot encode a frame of " + path, r);
      if (packet->duration == 0) packet->duration = 1;
      av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      const int w = av_interleaved_write_frame(container, packet);
      if (w < 0) Fail("Cannot write " + path, w);
    }
  }
};

VideoFileWriter::VideoFileWriter(const std::string& path, int width, int height, int fps) : s_(std::make_unique<State>()) {
  QuietLibraryLog();
  const auto format = VideoFormatOfPath(path);
  if (!format) throw Error("Unknown video format of " + path + ": the name must end in .mp4, .webm or .gif");
  if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0)
    throw Error("Video frames must have a positive, even width and height, not " + std::to_string(width) + " x " +
                std::to_string(height));
  if (fps < 1 || fps > MaxFramesPerSecond(*format))
    throw Error("The frame rate must be 1 to " + std::to_string(MaxFramesPerSecond(*format)) + " frames per second, not " +
                std::to_string(fps));
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw Error("Cannot write " + path + ": it is a directory");

  State& s = *s_;
  s.format = *format;
  s.path = path;
  s.tempPath = path + ".part";
  s.width = width;
  s.height = height;
  s.indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));

  const AVCodec* codec = FindEncoder(s.format);
  if (!codec) throw Error(std::string("This FFmpeg has no ") + CodecName(s.format) + " encoder");
  int r = avformat_alloc_output_context2(&s.container, nullptr, MuxerName(s.format), s.tempPath.c_str());
  if (r < 0 || !s.container) s.Fail("Cannot prepare " + path, r < 0 ? r : AVERROR(ENOMEM));

  s.encoder = avcodec_alloc_context3(codec);
  s.frame = av_frame_alloc();
  s.packet = av_packet_alloc();
  if (!s.encoder || !s.frame || !s.packet) s.Fail("Cannot prepare " + path, AVERROR(ENOMEM));
  AVCodecContext* e = s.encoder;
  e->width = width;
  e->height = height;
  e->time_base = AVRational{1, fps};
  e->framerate = AVRational{fps, 1};
  e->sample_aspect_ratio = AVRational{1, 1};
  AVDictionary* codecOptions = nullptr;
  if (s.format == VideoFormat::Gif) {
    e->pix_fmt = AV_PIX_FMT_PAL8;
  } else {
    e->pix_fmt = AV_PIX_FMT_YUV420P;
    e->gop_size = 5 * fps;
    e->colorspace = AVCOL_SPC_SMPTE170M;  // the conversion below uses the BT.601 matrix
    e->color_range = AVCOL_RANGE_MPEG;
    if (s.format == VideoFormat::Mp4) {
      // The fastest preset: a 30 s run takes well under 1.5 s on two cores (the two or three
      // times smaller files of the slower presets cost four times the time).
      av_dict_set(&codecOptions, "preset", "ultrafast", 0);
      av_dict_set(&codecOptions, "crf", "21", 0);
    } else {
      e->bit_rate = 0;  // constant quality
      av_dict_set(&codecOptions, "crf", "30", 0);
      av_dict_set(&codecOptions, "deadline", "realtime", 0);
      av_dict_set(&codecOptions, "cpu-used", "8", 0);
      av_dict_set(&codecOptions, "row-mt", "1", 0);
    }
  }
  if (s.container->oformat->flags & AVFMT_GLOBALHEADER) e->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  r = avcodec_open2(e, codec, &codecOptions);
  av_dict_free(&codecOptions);
  if (r < 0) s.Fail(std::string("Cannot start the ") + CodecName(s.format) + " encoder", r);

  s.stream = avformat_new_stream(s.container, nullptr);
  if (!s.stream) s.Fail("Cannot prepare " + path, AVERROR(ENOMEM));
  r = avcodec_parameters_from_context(s.stream->codecpar, e);
  if (r < 0) s.Fail("Cannot prepare " + path, r);
  s.stream->time_base = e->time_base;
  s.stream->avg_frame_rate = e->framerate;

  s.frame->format = e->pix_fmt;
  s.frame->width = width;
  s.frame->height = height;
  r = av_frame_get_buffer(s.frame, 0);
  if (r < 0) s.Fail("Cannot prepare " + path, r);
  if (s.format != VideoFormat::Gif) {
    s.converter = sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height, AV_PIX_FMT_YUV420P,
                                 SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr);
    if (!s.converter) s.Fail("Cannot prepare " + path, AVERROR(ENOMEM));
  }

  r = avio_open(&s.container->pb, s.tempPath.c_str(), AVIO_FLAG_WRITE);
  if (r < 0) s.Fail("Cannot write " + path, r);
  AVDictionary* muxerOptions = nullptr;
  if (s.format == VideoFormat::Mp4) av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
  if (s.format == VideoFormat::Gif) av_dict_set(&muxerOptions, "loop", "0", 0);  // 0: for ever
  r = avformat_write_header(s.container, &muxerOptions);
  av_dict_free(&muxerOptions);
  if (r < 0) s.Fail("Cannot write " + path, r);
  s.headerWritten = true;
}

VideoFileWriter::~VideoFileWriter() { Abandon(); }

VideoFormat VideoFileWriter::Format() const { return s_->format; }
std::int64_t VideoFileWriter::FramesAdded() const { return s_->frames; }

void VideoFileWriter::AddFrame(const QImage& picture) {
  State& s = *s_;
  if (s.finished || !s.encoder) throw Error("The video " + s.path + " is no longer being written");
  if (picture.format() != QImage::Format_RGB32 || picture.width() != s.width || picture.height() != s.height)
    throw Error("A frame of " + s.path + " must be a 32-bit picture of " + std::to_string(s.width) + " x " +
                std::to_string(s.height) + " pixels");
  int r = av_frame_make_writable(s.frame);
  if (r < 0) s.Fail("Cannot encode a frame of " + s.path, r);
  // The picture's pixels as palette indices, while every one is a palette colour.
  bool fourColours = true;
  for (int y = 0; y < s.height && fourColours; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    std::uint8_t* out = s.indices.data() + static_cast<std::ptrdiff_t>(y) * s.width;
    for (int x = 0; x < s.width && fourColours;) {
      // Most of the picture is white: eight white pixels at a time.
      if (x + 8 <= s.width && (in[x] & in[x + 1] & in[x + 2] & in[x + 3] & in[x + 4] & in[x + 5] & in[x + 6] &
                               in[x + 7]) == 0xFFFFFFFFu) {
        std::fill_n(out + x, 8, std::uint8_t{0});
        x += 8;
        continue;
      }
      const int i = ExactPaletteIndex(in[x]);
      fourColours = i >= 0;
      out[x++] = static_cast<std::uint8_t>(i);
    }
  }
  AVFrame* f = s.frame;
  if (s.format == VideoFormat::Gif) {
    auto* palette = reinterpret_cast<std::uint32_t*>(f->data[1]);
    std::fill(palette, palette + 256, 0u);  // unused entries: transparent black
    std::copy(kGifPalette.begin(), kGifPalette.end(), palette);
    for (int y = 0; y < s.height; ++y) {
      std::uint8_t* out = f->data[0] + static_cast<std::ptrdiff_t>(y) * f->linesize[0];
      if (fourColours) {
        std::copy_n(s.indices.data() + static_cast<std::ptrdiff_t>(y) * s.width, s.width, out);
      } else {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < s.width; ++x) out[x] = NearestPaletteIndex(in[x]);
      }
    }
  } else if (fourColours) {
    s.coder.Convert(s.indices.data(), s.width, s.height, f->data[0], f->linesize[0], f->data[1], f->linesize[1],
                       f->data[2], f->linesize[2]);
  } else {
    // Through a padded frame: the conversion may read past a line's last pixel.
    if (!s.rgb) {
      s.rgb = av_frame_alloc();
      if (!s.rgb) s.Fail("Cannot encode a frame of " + s.path, AVERROR(ENOMEM));
      s.rgb->format = AV_PIX_FMT_RGB32;
      s.rgb->width = s.width;
      s.rgb->height = s.height;
      r = av_frame_get_buffer(s.rgb, 0);
      if (r < 0) s.Fail("Cannot encode a frame of " + s.path, r);
    }
    for (int y = 0; y < s.height; ++y)
      std::memcpy(s.rgb->data[0] + static_cast<std::ptrdiff_t>(y) * s.rgb->linesize[0], picture.constScanLine(y),
                  static_cast<std::size_t>(s.width) * 4);
    sws_scale(s.converter, s.rgb->data, s.rgb->linesize, 0, s.height, f->data, f->linesize);
  }
  s.frame->pts = s.frames;
  r = avcodec_send_frame(s.encoder, s.frame);
  if (r < 0) s.Fail("Cannot encode a frame of " + s.path, r);
  ++s.frames;
  s.Drain();
}

void VideoFileWriter::Finish() {
  State& s = *s_;
  if (s.finished) return;
  if (!s.encoder) throw Error("The video " + s.path + " is no longer being written");
  if (s.frames == 0) {
    s.RemoveTemporary();
    throw Error("The video " + s.path + " has no frames");
  }
  int r = avcodec_send_frame(s.encoder, nullptr);
  if (r < 0) s.Fail("Cannot complete " + s.path, r);
  s.Drain();
  s.headerWritten = false;
  r = av_write_trailer(s.container);
  if (r < 0) s.Fail("Cannot complete " + s.path, r);
  r = avio_closep(&s.container->pb);
  if (r < 0) s.Fail("Cannot complete " + s.path, r);
  s.Release();
  std::error_code ec;
  std::filesystem::rename(s.tempPath, s.path, ec);
  if (ec) {
    s.RemoveTemporary();
    throw Error("Cannot write " + s.path + ": " + ec.message());
  }
  s.finished = true;
}

void VideoFileWriter::Abandon() {
  if (s_ && !s_->finished) s_->RemoveTemporary();
}

}  // namespace hulvex
