#include "export/four_colour_yuv.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace hulvex {
namespace {

struct Rgb {
  int r, g, b;
};
constexpr std::array<Rgb, 4> kColours{{{255, 255, 255}, {0, 0, 0}, {0, 0, 255}, {255, 0, 0}}};

// The decoder's BT.601 limited-range conversion of one channel, rounded and clipped.
double Channel(double luma, double chroma) { return std::clamp(std::round(luma + chroma), 0.0, 255.0); }

struct Chroma {
  double r, g, b;  // what Cb and Cr add to each channel
};
Chroma ChromaTerms(int cb, int cr) {
  const double u = cb - 128.0, v = cr - 128.0;
  return {1.596 * v, -0.392 * u - 0.813 * v, 2.017 * u};
}

double ErrorOf(const Rgb& target, int y, const Chroma& c) {
  const double luma = 1.164 * (y - 16.0);
  const double dr = Channel(luma, c.r) - target.r, dg = Channel(luma, c.g) - target.g, db = Channel(luma, c.b) - target.b;
  return dr * dr + dg * dg + db * db;
}

struct LumaChoice {
  int y;
  double error;
};

// The luma that brings `target` closest under chroma `c`: the least-squares value and the value
// that makes each channel exact are tried; of equal errors the one farther from mid-grey wins
// (white high, black low: chroma from a neighbour is then clipped away).
LumaChoice BestLuma(const Rgb& target, const Chroma& c) {
  const double exact[3] = {target.r - c.r, target.g - c.g, target.b - c.b};
  double candidates[6] = {(exact[0] + exact[1] + exact[2]) / 3.0, exact[0], exact[1], exact[2], -1e9, 1e9};
  LumaChoice best{0, 1e300};
  for (double luma : candidates) {
    const int y = static_cast<int>(std::clamp(std::round(16.0 + luma / 1.164), 0.0, 255.0));
    const double e = ErrorOf(target, y, c);
    if (e < best.error || (e == best.error && std::abs(y - 128) > std::abs(best.y - 128))) best = {y, e};
  }
  return best;
}

// The coding of one 2 x 2 block, by how many of its pixels have each colour.
struct BlockCoding {
  std::uint8_t cb = 128, cr = 128;
  std::array<std::uint8_t, 4> y{};  // per colour
};

BlockCoding BestCoding(const std::array<int, 4>& counts) {
  auto total = [&](int cb, int cr) {
    const Chroma c = ChromaTerms(cb, cr);
    double e = 1e-6 * ((cb - 128.0) * (cb - 128.0) + (cr - 128.0) * (cr - 128.0));  // neutral on ties
    for (int k = 0; k < 4; ++k)
      if (counts[k] > 0) e += counts[k] * BestLuma(kColours[k], c).error;
    return e;
  };
  int bestCb = 128, bestCr = 128;
  double best = total(128, 128);
  auto tryAt = [&](int cb, int cr) {
    cb = std::clamp(cb, 0, 255);
    cr = std::clamp(cr, 0, 255);
    const double e = total(cb, cr);
    if (e < best) {
      best = e;
      bestCb = cb;
      bestCr = cr;
    }
  };
  for (int cb = 0; cb <= 256; cb += 8)
    for (int cr = 0; cr <= 256; cr += 8) tryAt(cb, cr);
  const int coarseCb = bestCb, coarseCr = bestCr;
  for (int cb = coarseCb - 8; cb <= coarseCb + 8; ++cb)
    for (int cr = coarseCr - 8; cr <= coarseCr + 8; ++cr) tryAt(cb, cr);
  BlockCoding coding;
  coding.cb = static_cast<std::uint8_t>(bestCb);
  coding.cr = static_cast<std::uint8_t>(bestCr);
  const Chroma c = ChromaTerms(bestCb, bestCr);
  for (int k = 0; k < 4; ++k) coding.y[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(BestLuma(kColours[k], c).y);
  return coding;
}

// Every block's coding by its colour counts (each 0 ... 4): index n0 * 125 + n1 * 25 + n2 * 5 + n3.
struct CodingTable {
  std::array<BlockCoding, 625> entries{};
  CodingTable() {
    for (int n0 = 0; n0 <= 4; ++n0)
      for (int n1 = 0; n0 + n1 <= 4; ++n1)
        for (int n2 = 0; n0 + n1 + n2 <= 4; ++n2) {
          const int n3 = 4 - n0 - n1 - n2;
          entries[static_cast<std::size_t>(n0 * 125 + n1 * 25 + n2 * 5 + n3)] = BestCoding({n0, n1, n2, n3});
        }
  }
};

const CodingTable& Table() {
  static const CodingTable table;  // built once, on first use, by whichever thread comes first
  return table;
}

bool AllZero(const std::uint8_t* eight) {
  std::uint64_t word;
  std::memcpy(&word, eight, sizeof word);
  return word == 0;
}

// The share of chroma (u, v) that a white pixel at the top of the luma range keeps white: each
// channel of 1.164 x (255 - 16) plus its chroma term must round to 255.
double WhiteShare(double u, double v) {
  constexpr double kRoom = 1.164 * (255 - 16) - 254.5 - 0.5;  // half a level of margin
  double share = 1.0;
  auto limit = [&](double drop) {  // how much the chroma lowers one channel
    if (drop > kRoom) share = std::min(share, kRoom / drop);
  };
  limit(-1.596 * v);
  limit(0.392 * u + 0.813 * v);
  limit(-2.017 * u);
  return share;
}

}  // namespace

void FourColourYuvCoder::Convert(const std::uint8_t* indices, int width, int height, std::uint8_t* y, int yStride,
                                 std::uint8_t* u, int uStride, std::uint8_t* v, int vStride) {
  static constexpr int kWeight[4] = {125, 25, 5, 1};
  static constexpr int kAllWhite = 4 * 125;
  const CodingTable& table = Table();
  const BlockCoding& white = table.entries[kAllWhite];
  const int bw = width / 2, bh = height / 2;
  allWhite_.assign(static_cast<std::size_t>(bw) * static_cast<std::size_t>(bh), 0);
  if (weight_.size() != allWhite_.size()) {
    sumU_.assign(allWhite_.size(), 0);
    sumV_.assign(allWhite_.size(), 0);
    weight_.assign(allWhite_.size(), 0);
  }
  coloured_.clear();
  touched_.clear();
  for (int by = 0; by < bh; ++by) {
    const std::uint8_t* top = indices + static_cast<std::ptrdiff_t>(2 * by) * width;
    const std::uint8_t* bottom = top + width;
    std::uint8_t* yTop = y + static_cast<std::ptrdiff_t>(2 * by) * yStride;
    std::uint8_t* yBottom = yTop + yStride;
    for (int bx = 0; bx < bw; ++bx) {
      const int x = 2 * bx;
      // Four all-white blocks at a time, the most common case by far.
      if (bx + 4 <= bw && AllZero(top + x) && AllZero(bottom + x)) {
        std::fill_n(yTop + x, 8, white.y[0]);
        std::fill_n(yBottom + x, 8, white.y[0]);
        std::fill_n(u + static_cast<std::ptrdiff_t>(by) * uStride + bx, 4, white.cb);
        std::fill_n(v + static_cast<std::ptrdiff_t>(by) * vStride + bx, 4, white.cr);
        std::fill_n(allWhite_.begin() + by * bw + bx, 4, std::uint8_t{1});
        bx += 3;
        continue;
      }
      const std::uint8_t p[4] = {top[x], top[x + 1], bottom[x], bottom[x + 1]};
      const int key = kWeight[p[0]] + kWeight[p[1]] + kWeight[p[2]] + kWeight[p[3]];
      const BlockCoding& c = table.entries[static_cast<std::size_t>(key)];
      yTop[x] = c.y[p[0]];
      yTop[x + 1] = c.y[p[1]];
      yBottom[x] = c.y[p[2]];
      yBottom[x + 1] = c.y[p[3]];
      u[static_cast<std::ptrdiff_t>(by) * uStride + bx] = c.cb;
      v[static_cast<std::ptrdiff_t>(by) * vStride + bx] = c.cr;
      const int block = by * bw + bx;
      if (key == kAllWhite) allWhite_[static_cast<std::size_t>(block)] = 1;
      else if (c.cb != 128 || c.cr != 128) coloured_.push_back(block);
    }
  }
  // Coloured blocks hand their chroma on to all-white neighbours (edges weigh 3, corners 1, as in
  // bilinear interpolation).
  for (const int block : coloured_) {
    const int bx = block % bw, by = block / bw;
    const int du = u[static_cast<std::ptrdiff_t>(by) * uStride + bx] - 128;
    const int dv = v[static_cast<std::ptrdiff_t>(by) * vStride + bx] - 128;
    for (int ny = std::max(0, by - 1); ny <= std::min(bh - 1, by + 1); ++ny)
      for (int nx = std::max(0, bx - 1); nx <= std::min(bw - 1, bx + 1); ++nx) {
        const auto n = static_cast<std::size_t>(ny * bw + nx);
        if (!allWhite_[n]) continue;
        const int w = (nx == bx || ny == by) ? 3 : 1;
        if (weight_[n] == 0) touched_.push_back(static_cast<int>(n));
        sumU_[n] += w * du;
        sumV_[n] += w * dv;
        weight_[n] += w;
      }
  }
  for (const int block : touched_) {
    const auto n = static_cast<std::size_t>(block);
    const double mu = static_cast<double>(sumU_[n]) / weight_[n], mv = static_cast<double>(sumV_[n]) / weight_[n];
    const double share = WhiteShare(mu, mv);
    const int bx = block % bw, by = block / bw;
    u[static_cast<std::ptrdiff_t>(by) * uStride + bx] = static_cast<std::uint8_t>(std::lround(128 + share * mu));
    v[static_cast<std::ptrdiff_t>(by) * vStride + bx] = static_cast<std::uint8_t>(std::lround(128 + share * mv));
    sumU_[n] = sumV_[n] = weight_[n] = 0;
  }
}

}  // namespace hulvex
