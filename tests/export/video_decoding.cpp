#include "export/video_decoding.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace hulvex::test {
namespace {

struct Decoder {
  AVFormatContext* input = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  SwsContext* converter = nullptr;
  ~Decoder() {
    sws_freeContext(converter);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&input);
  }
};

void Check(int r, const std::string& what) {
  if (r < 0) throw std::runtime_error(what + " failed: " + std::to_string(r));
}

QImage ToImage(Decoder& d, const AVFrame* f) {
  d.converter = sws_getCachedContext(d.converter, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                     f->height, AV_PIX_FMT_RGB32,
                                     SWS_BILINEAR | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
  if (!d.converter) throw std::runtime_error("no conversion to RGB");
  // The conversion may write past a line's last pixel: it goes to a padded frame first.
  AVFrame* rgb = av_frame_alloc();
  rgb->format = AV_PIX_FMT_RGB32;
  rgb->width = f->width;
  rgb->height = f->height;
  if (av_frame_get_buffer(rgb, 0) < 0) {
    av_frame_free(&rgb);
    throw std::runtime_error("no memory");
  }
  sws_scale(d.converter, f->data, f->linesize, 0, f->height, rgb->data, rgb->linesize);
  QImage image(f->width, f->height, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(rgb->data[0] + static_cast<std::ptrdiff_t>(y) * rgb->linesize[0]);
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) line[x] = in[x] | 0xFF000000u;
  }
  av_frame_free(&rgb);
  return image;
}

// The loop count of a GIF's NETSCAPE2.0 block, or -2 when there is none.
int GifLoopCount(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto at = bytes.find("NETSCAPE2.0");
  if (at == std::string::npos || at + 15 > bytes.size()) return -2;
  return static_cast<unsigned char>(bytes[at + 13]) | (static_cast<unsigned char>(bytes[at + 14]) << 8);
}

}  // namespace

QImage Yuv420ToImage(int width, int height, const std::uint8_t* const planes[3], const int strides[3]) {
  Decoder d;
  AVFrame* f = av_frame_alloc();  // the caller's planes, not owned by the frame
  f->format = AV_PIX_FMT_YUV420P;
  f->width = width;
  f->height = height;
  for (int i = 0; i < 3; ++i) {
    f->data[i] = const_cast<std::uint8_t*>(planes[i]);
    f->linesize[i] = strides[i];
  }
  QImage image;
  try {
    image = ToImage(d, f);
  } catch (...) {
    av_frame_free(&f);
    throw;
  }
  av_frame_free(&f);
  return image;
}

DecodedVideo DecodeVideo(const std::string& path, const std::set<std::int64_t>& keep) {
  Decoder d;
  Check(avformat_open_input(&d.input, path.c_str(), nullptr, nullptr), "open " + path);
  Check(avformat_find_stream_info(d.input, nullptr), "stream info");
  const int index = av_find_best_stream(d.input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  Check(index, "video stream");
  const AVStream* stream = d.input->streams[index];
  const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!decoder) throw std::runtime_error("no decoder");
  d.codec = avcodec_alloc_context3(decoder);
  Check(avcodec_parameters_to_context(d.codec, stream->codecpar), "codec parameters");
  Check(avcodec_open2(d.codec, decoder, nullptr), "open decoder");

  DecodedVideo v;
  v.codec = decoder->name;
  const AVRational rate = stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
  v.frameRate = av_q2d(rate);
  if (stream->codecpar->codec_id == AV_CODEC_ID_GIF) v.loop = GifLoopCount(path);
  const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  std::int64_t end = std::numeric_limits<std::int64_t>::min();
  auto receive = [&] {
    while (avcodec_receive_frame(d.codec, d.frame) == 0) {
      if (v.frames == 0) {
        v.width = d.frame->width;
        v.height = d.frame->height;
      } else if (d.frame->width != v.width || d.frame->height != v.height) {
        throw std::runtime_error("frame size changes");
      }
      if (keep.count(v.frames)) v.kept[v.frames] = ToImage(d, d.frame);
      const std::int64_t t = d.frame->best_effort_timestamp;
      if (t != AV_NOPTS_VALUE) end = std::max(end, t + d.frame->pkt_duration);
      ++v.frames;
      av_frame_unref(d.frame);
    }
  };
  while (av_read_frame(d.input, d.packet) >= 0) {
    if (d.packet->stream_index == index) {
      Check(avcodec_send_packet(d.codec, d.packet), "decode");
      receive();
    }
    av_packet_unref(d.packet);
  }
  Check(avcodec_send_packet(d.codec, nullptr), "flush");
  receive();
  if (end != std::numeric_limits<std::int64_t>::min())
    v.duration = static_cast<double>(end - start) * av_q2d(stream->time_base);
  return v;
}

double Psnr(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 0;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      const double dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
      sum += dr * dr + dg * dg + db * db;
    }
  if (sum == 0) return std::numeric_limits<double>::infinity();
  const double mse = sum / (3.0 * a.width() * a.height());
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace hulvex::test
