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
#include "video/run_colours.h"

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

// What a picture holds: only its four colours, those and the further runs' colours, or others.
enum class PictureColours { Four, Palette, Other };

// Index of an RGB32 pixel's colour in the GIF palette (the picture's four colours, then the
// further runs' colours), or -1 for another colour.
int ExactPaletteIndex(QRgb p) {
  switch (p & 0xFFFFFFu) {
    case 0xFFFFFFu: return 0;
    case 0x000000u: return 1;
    case 0x0000FFu: return 2;
    case 0xFF0000u: return 3;
    default: break;
  }
  for (std::size_t i = 0; i < kFurtherRunColours.size(); ++i) {
    const RunRgb c = kFurtherRunColours[i];
    if (qRgb(c.R, c.G, c.B) == (p | 0xFF000000u)) return static_cast<int>(kGifPalette.size() + i);
  }
  return -1;
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

namespace {

// Frees what the FFmpeg libraries allocated, for std::unique_ptr.
struct AvFree {
  void operator()(AVFormatContext* c) const {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
  }
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
  void operator()(AVFrame* f) const { av_frame_free(&f); }
  void operator()(AVPacket* p) const { av_packet_free(&p); }
  void operator()(SwsContext* c) const { sws_freeContext(c); }
};
template <typename T>
using AvPtr = std::unique_ptr<T, AvFree>;

// Options handed to an encoder or muxer, freed with the object.
struct AvOptions {
  AvOptions() = default;
  AvOptions(const AvOptions&) = delete;
  AvOptions& operator=(const AvOptions&) = delete;
  ~AvOptions() { av_dict_free(&dict); }
  void Set(const char* key, const char* value) { av_dict_set(&dict, key, value, 0); }
  AVDictionary* dict = nullptr;
};

// The encoder's settings for a format, besides size and rate: GIF codes palette indices; MP4 and
// WebM code yuv420p (BT.601, limited range) at a constant quality, as fast as their encoders go.
void SetEncoderOptions(AVCodecContext& e, VideoFormat format, int fps, AvOptions& options) {
  if (format == VideoFormat::Gif) {
    e.pix_fmt = AV_PIX_FMT_PAL8;
    return;
  }
  e.pix_fmt = AV_PIX_FMT_YUV420P;
  e.gop_size = 5 * fps;
  e.colorspace = AVCOL_SPC_SMPTE170M;  // the conversion of AddFrame uses the BT.601 matrix
  e.color_range = AVCOL_RANGE_MPEG;
  if (format == VideoFormat::Mp4) {
    // The fastest preset: a 30 s run takes well under 1.5 s on two cores (the two or three
    // times smaller files of the slower presets cost four times the time).
    options.Set("preset", "ultrafast");
    options.Set("crf", "21");
  } else {
    e.bit_rate = 0;  // constant quality
    options.Set("crf", "30");
    options.Set("deadline", "realtime");
    options.Set("cpu-used", "8");
    options.Set("row-mt", "1");
  }
}

// A frame of `format` and size with its buffers, or nothing when there is no memory.
AvPtr<AVFrame> NewFrame(AVPixelFormat format, int width, int height, int& error) {
  AvPtr<AVFrame> frame(av_frame_alloc());
  if (!frame) {
    error = AVERROR(ENOMEM);
    return nullptr;
  }
  frame->format = format;
  frame->width = width;
  frame->height = height;
  error = av_frame_get_buffer(frame.get(), 0);
  if (error < 0) return nullptr;
  return frame;
}

}  // namespace

VideoFormat CheckVideoTarget(const std::string& path, int fps) {
  const auto format = VideoFormatOfPath(path);
  if (!format) throw Error("Unknown video format of " + path + ": the name must end in .mp4, .webm or .gif");
  const int maxFps = MaxFramesPerSecond(*format);
  if (fps < 1 || fps > maxFps)
    throw Error("This format holds 1 to " + std::to_string(maxFps) + " frames per second, not " + std::to_string(fps));
  return *format;
}

struct VideoFileWriter::State {
  VideoFormat format = VideoFormat::Mp4;
  std::string path;
  std::string tempPath;
  int width = 0;
  int height = 0;
  // Declared in the order of their making: freed in the reverse order.
  AvPtr<AVFormatContext> container;
  AvPtr<AVCodecContext> encoder;
  AVStream* stream = nullptr;  // owned by the container
  AvPtr<AVFrame> frame;
  AvPtr<AVFrame> rgb;  // a padded copy of a picture for the conversion, when one is needed
  AvPtr<AVPacket> packet;
  AvPtr<SwsContext> converter;
  std::vector<std::uint8_t> indices;  // palette index per pixel of the frame being added
  FourColourYuvCoder coder;
  std::int64_t frames = 0;
  bool headerWritten = false;
  bool finished = false;

  ~State() { Release(); }

  // Frees everything and closes the temporary file (which stays on disk).
  void Release() {
    converter.reset();
    packet.reset();
    rgb.reset();
    frame.reset();
    encoder.reset();
    // Some muxers (GIF) free what they hold only in their trailer, so an abandoned file gets one too.
    if (container && headerWritten) av_write_trailer(container.get());
    headerWritten = false;
    container.reset();
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

  // The parts of the writer's making, in order; each fails through Fail.
  void OpenEncoder(int fps);
  void AddStream();
  void AllocateFrames();
  void WriteHeader();

  // The picture's pixels as palette indices into `indices` (ExactPaletteIndex); stops (with
  // `indices` incomplete) as soon as a pixel has a colour outside the palette.
  PictureColours IndexColours(const QImage& picture);
  // The picture into `frame`: palette indices for a GIF, yuv420p otherwise.
  void FillGifFrame(const QImage& picture, bool indexed);
  void ConvertPlainly(const QImage& picture);

  // Hands every packet the encoder has ready to the container.
  void Drain() {
    for (;;) {
      const int r = avcodec_receive_packet(encoder.get(), packet.get());
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
      if (r < 0) Fail("Cannot encode a frame of " + path, r);
      if (packet->duration == 0) packet->duration = 1;
      av_packet_rescale_ts(packet.get(), encoder->time_base, stream->time_base);
      packet->stream_index = stream->index;
      const int w = av_interleaved_write_frame(container.get(), packet.get());
      if (w < 0) Fail("Cannot write " + path, w);
    }
  }
};

void VideoFileWriter::State::OpenEncoder(int fps) {
  const AVCodec* codec = FindEncoder(format);
  if (!codec) throw Error(std::string("This FFmpeg has no ") + CodecName(format) + " encoder");
  AVFormatContext* made = nullptr;
  int r = avformat_alloc_output_context2(&made, nullptr, MuxerName(format), tempPath.c_str());
  container.reset(made);
  if (r < 0 || !container) Fail("Cannot prepare " + path, r < 0 ? r : AVERROR(ENOMEM));
  encoder.reset(avcodec_alloc_context3(codec));
  packet.reset(av_packet_alloc());
  if (!encoder || !packet) Fail("Cannot prepare " + path, AVERROR(ENOMEM));
  AVCodecContext& e = *encoder;
  e.width = width;
  e.height = height;
  e.time_base = AVRational{1, fps};
  e.framerate = AVRational{fps, 1};
  e.sample_aspect_ratio = AVRational{1, 1};
  AvOptions options;
  SetEncoderOptions(e, format, fps, options);
  if (container->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  r = avcodec_open2(&e, codec, &options.dict);
  if (r < 0) Fail(std::string("Cannot start the ") + CodecName(format) + " encoder", r);
}

void VideoFileWriter::State::AddStream() {
  stream = avformat_new_stream(container.get(), nullptr);
  if (!stream) Fail("Cannot prepare " + path, AVERROR(ENOMEM));
  const int r = avcodec_parameters_from_context(stream->codecpar, encoder.get());
  if (r < 0) Fail("Cannot prepare " + path, r);
  stream->time_base = encoder->time_base;
  stream->avg_frame_rate = encoder->framerate;
}

void VideoFileWriter::State::AllocateFrames() {
  int r = 0;
  frame = NewFrame(encoder->pix_fmt, width, height, r);
  if (!frame) Fail("Cannot prepare " + path, r);
  if (format != VideoFormat::Gif) {
    converter.reset(sws_getContext(width, height, AV_PIX_FMT_RGB32, width, height, AV_PIX_FMT_YUV420P,
                                   SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr, nullptr, nullptr));
    if (!converter) Fail("Cannot prepare " + path, AVERROR(ENOMEM));
  }
  indices.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
}

void VideoFileWriter::State::WriteHeader() {
  int r = avio_open(&container->pb, tempPath.c_str(), AVIO_FLAG_WRITE);
  if (r < 0) Fail("Cannot write " + path, r);
  AvOptions options;
  if (format == VideoFormat::Mp4) options.Set("movflags", "+faststart");
  if (format == VideoFormat::Gif) options.Set("loop", "0");  // 0: for ever
  r = avformat_write_header(container.get(), &options.dict);
  if (r < 0) Fail("Cannot write " + path, r);
  headerWritten = true;
}

PictureColours VideoFileWriter::State::IndexColours(const QImage& picture) {
  int highest = 0;
  for (int y = 0; y < height; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
    std::uint8_t* out = indices.data() + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = 0; x < width;) {
      // Most of the picture is white: eight white pixels at a time.
      if (x + 8 <= width &&
          (in[x] & in[x + 1] & in[x + 2] & in[x + 3] & in[x + 4] & in[x + 5] & in[x + 6] & in[x + 7]) == 0xFFFFFFFFu) {
        std::fill_n(out + x, 8, std::uint8_t{0});
        x += 8;
        continue;
      }
      const int i = ExactPaletteIndex(in[x]);
      if (i < 0) return PictureColours::Other;
      highest = std::max(highest, i);
      out[x++] = static_cast<std::uint8_t>(i);
    }
  }
  return highest < static_cast<int>(kGifPalette.size()) ? PictureColours::Four : PictureColours::Palette;
}

void VideoFileWriter::State::FillGifFrame(const QImage& picture, bool indexed) {
  auto* palette = reinterpret_cast<std::uint32_t*>(frame->data[1]);
  std::fill(palette, palette + 256, 0u);  // unused entries: transparent black
  std::copy(kGifPalette.begin(), kGifPalette.end(), palette);
  for (std::size_t i = 0; i < kFurtherRunColours.size(); ++i) {
    const RunRgb c = kFurtherRunColours[i];
    palette[kGifPalette.size() + i] = qRgb(c.R, c.G, c.B);
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
    if (indexed) {
      std::copy_n(indices.data() + static_cast<std::ptrdiff_t>(y) * width, width, out);
    } else {
      const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
      for (int x = 0; x < width; ++x) out[x] = NearestPaletteIndex(in[x]);
    }
  }
}

void VideoFileWriter::State::ConvertPlainly(const QImage& picture) {
  // Through a padded frame: the conversion may read past a line's last pixel.
  if (!rgb) {
    int r = 0;
    rgb = NewFrame(AV_PIX_FMT_RGB32, width, height, r);
    if (!rgb) Fail("Cannot encode a frame of " + path, r);
  }
  for (int y = 0; y < height; ++y)
    std::memcpy(rgb->data[0] + static_cast<std::ptrdiff_t>(y) * rgb->linesize[0], picture.constScanLine(y),
                static_cast<std::size_t>(width) * 4);
  sws_scale(converter.get(), rgb->data, rgb->linesize, 0, height, frame->data, frame->linesize);
}

VideoFileWriter::VideoFileWriter(const std::string& path, int width, int height, int fps) : s_(std::make_unique<State>()) {
  QuietLibraryLog();
  const VideoFormat format = CheckVideoTarget(path, fps);
  if (width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0)
    throw Error("Video frames must have a positive, even width and height, not " + std::to_string(width) + " x " +
                std::to_string(height));
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw Error("Cannot write " + path + ": it is a directory");

  State& s = *s_;
  s.format = format;
  s.path = path;
  s.tempPath = path + ".part";
  s.width = width;
  s.height = height;
  s.OpenEncoder(fps);
  s.AddStream();
  s.AllocateFrames();
  s.WriteHeader();
}

VideoFileWriter::~VideoFileWriter() { Abandon(); }

void VideoFileWriter::AddFrame(const QImage& picture) {
  State& s = *s_;
  if (s.finished || !s.encoder) throw Error("The video " + s.path + " is no longer being written");
  if (picture.format() != QImage::Format_RGB32 || picture.width() != s.width || picture.height() != s.height)
    throw Error("A frame of " + s.path + " must be a 32-bit picture of " + std::to_string(s.width) + " x " +
                std::to_string(s.height) + " pixels");
  int r = av_frame_make_writable(s.frame.get());
  if (r < 0) s.Fail("Cannot encode a frame of " + s.path, r);
  const PictureColours colours = s.IndexColours(picture);
  AVFrame& f = *s.frame;
  if (s.format == VideoFormat::Gif) {
    s.FillGifFrame(picture, colours != PictureColours::Other);
  } else if (colours == PictureColours::Four) {
    s.coder.Convert(s.indices.data(), s.width, s.height, f.data[0], f.linesize[0], f.data[1], f.linesize[1], f.data[2],
                    f.linesize[2]);
  } else {
    s.ConvertPlainly(picture);
  }
  f.pts = s.frames;
  r = avcodec_send_frame(s.encoder.get(), &f);
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
  int r = avcodec_send_frame(s.encoder.get(), nullptr);
  if (r < 0) s.Fail("Cannot complete " + s.path, r);
  s.Drain();
  s.headerWritten = false;
  r = av_write_trailer(s.container.get());
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
