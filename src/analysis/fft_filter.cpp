#include "analysis/fft_filter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace hulvex::analysis {

namespace {
using cd = std::complex<double>;

// Complex values in a block this long stay in the first-level cache through their small stages.
constexpr std::size_t kCacheBlock = 2048;
// Columns of a tile of the large stages (see TiledStages).
constexpr std::size_t kTile = 8;

// The arrays being transformed: real and imaginary parts apart, so that the butterfly loops are
// plain arithmetic on doubles, which the compiler vectorises.
struct Split {
  double* re;
  double* im;
};

// Forward stage, decimation in frequency, over [start, end) in groups of 2h:
// (a, b) -> (a + b, (a - b) w), w = e^(-pi i j / h) from (wr, wi).
void FrequencyStage(Split a, std::size_t start, std::size_t end, std::size_t h, const double* wr, const double* wi) {
  for (; start < end; start += 2 * h) {
    double* __restrict lr = a.re + start;
    double* __restrict li = a.im + start;
    double* __restrict hr = lr + h;
    double* __restrict hi = li + h;
    for (std::size_t j = 0; j < h; ++j) {
      const double dr = lr[j] - hr[j], di = li[j] - hi[j];
      lr[j] += hr[j];
      li[j] += hi[j];
      hr[j] = dr * wr[j] - di * wi[j];
      hi[j] = dr * wi[j] + di * wr[j];
    }
  }
}

// Inverse stage, decimation in time: t = b conj(w); (a, b) -> (a + t, a - t).
void TimeStage(Split a, std::size_t start, std::size_t end, std::size_t h, const double* wr, const double* wi) {
  for (; start < end; start += 2 * h) {
    double* __restrict lr = a.re + start;
    double* __restrict li = a.im + start;
    double* __restrict hr = lr + h;
    double* __restrict hi = li + h;
    for (std::size_t j = 0; j < h; ++j) {
      const double tr = hr[j] * wr[j] + hi[j] * wi[j], ti = hi[j] * wr[j] - hr[j] * wi[j];
      hr[j] = lr[j] - tr;
      hi[j] = li[j] - ti;
      lr[j] += tr;
      li[j] += ti;
    }
  }
}

// The stages of half-size h >= block over m values, seen as rows of `block` values: such a stage
// pairs rows r and r + h / block, column by column. They run column tile by column tile: the
// tile (every row, kTile columns) is copied into a small contiguous buffer, taken through all
// of them there, and copied back: one pass over memory instead of one per stage, and no cache
// conflicts between rows a power of two apart. The twiddle of j = r block + c is
// e^(-pi i r / g) e^(-pi i c / h), g = h / block: the row factor from the small table at g + r,
// the column factor from the column table of stage h. `stages` lists the half-sizes in the order
// to run; Butterflies is TileFrequency or TileTime.
template <typename Butterflies>
void TiledStages(Split a, std::size_t m, std::size_t block, std::span<const std::size_t> stages,
                 const std::vector<double>& rowRe, const std::vector<double>& rowIm, const double* columnRe,
                 const double* columnIm, Butterflies butterflies) {
  if (stages.empty()) return;
  const std::size_t rows = m / block;
  std::vector<double> tr(rows * kTile), ti(rows * kTile);
  std::array<double, kTile> wr{}, wi{};
  for (std::size_t c0 = 0; c0 < block; c0 += kTile) {
    for (std::size_t r = 0; r < rows; ++r) {
      std::copy_n(a.re + r * block + c0, kTile, &tr[r * kTile]);
      std::copy_n(a.im + r * block + c0, kTile, &ti[r * kTile]);
    }
    for (std::size_t s = 0; s < stages.size(); ++s) {
      const std::size_t h = stages[s], g = h / block;
      const std::size_t column = static_cast<std::size_t>(std::countr_zero(h / block)) * block + c0;
      for (std::size_t first = 0; first < rows; first += 2 * g) {
        for (std::size_t r = 0; r < g; ++r) {
          const double rr = rowRe[g + r], ri = rowIm[g + r];
          for (std::size_t c = 0; c < kTile; ++c) {
            wr[c] = rr * columnRe[column + c] - ri * columnIm[column + c];
            wi[c] = rr * columnIm[column + c] + ri * columnRe[column + c];
          }
          // One "group" of this tile: rows first + r and first + r + g, kTile columns.
          const std::size_t lo = (first + r) * kTile;
          butterflies(Split{&tr[lo], &ti[lo]}, g * kTile, wr.data(), wi.data());
        }
      }
    }
    for (std::size_t r = 0; r < rows; ++r) {
      std::copy_n(&tr[r * kTile], kTile, a.re + r * block + c0);
      std::copy_n(&ti[r * kTile], kTile, a.im + r * block + c0);
    }
  }
}

// The kTile butterflies of one tile group: lo at a, hi `distance` further on.
struct TileFrequency {
  void operator()(Split a, std::size_t distance, const double* wr, const double* wi) const;
};
struct TileTime {
  void operator()(Split a, std::size_t distance, const double* wr, const double* wi) const;
};
inline void TileFrequency::operator()(Split a, std::size_t distance, const double* wr, const double* wi) const {
  double* __restrict lr = a.re;
  double* __restrict li = a.im;
  double* __restrict hr = a.re + distance;
  double* __restrict hi = a.im + distance;
  for (std::size_t c = 0; c < kTile; ++c) {
    const double dr = lr[c] - hr[c], di = li[c] - hi[c];
    lr[c] += hr[c];
    li[c] += hi[c];
    hr[c] = dr * wr[c] - di * wi[c];
    hi[c] = dr * wi[c] + di * wr[c];
  }
}
inline void TileTime::operator()(Split a, std::size_t distance, const double* wr, const double* wi) const {
  double* __restrict lr = a.re;
  double* __restrict li = a.im;
  double* __restrict hr = a.re + distance;
  double* __restrict hi = a.im + distance;
  for (std::size_t c = 0; c < kTile; ++c) {
    const double tr = hr[c] * wr[c] + hi[c] * wi[c], ti = hi[c] * wr[c] - hr[c] * wi[c];
    hr[c] = lr[c] - tr;
    hi[c] = li[c] - ti;
    lr[c] += tr;
    li[c] += ti;
  }
}

// The last two forward stages (h = 2, twiddles 1 and -i; h = 1, twiddle 1) over groups of four.
void LastFrequencyStages(Split a, std::size_t start, std::size_t end) {
  for (std::size_t q = start; q < end; q += 4) {
    double* r = a.re + q;
    double* i = a.im + q;
    // h = 2: (0, 2) -> (0 + 2, 0 - 2); (1, 3) -> (1 + 3, (1 - 3)(-i)).
    const double r0 = r[0] + r[2], i0 = i[0] + i[2], r2 = r[0] - r[2], i2 = i[0] - i[2];
    const double r1 = r[1] + r[3], i1 = i[1] + i[3], r3 = i[1] - i[3], i3 = r[3] - r[1];
    // h = 1: (0, 1) -> (0 + 1, 0 - 1); (2, 3) likewise.
    r[0] = r0 + r1;
    i[0] = i0 + i1;
    r[1] = r0 - r1;
    i[1] = i0 - i1;
    r[2] = r2 + r3;
    i[2] = i2 + i3;
    r[3] = r2 - r3;
    i[3] = i2 - i3;
  }
}

// The first two inverse stages (h = 1; h = 2 with conjugate twiddles 1 and i) over groups of four.
void FirstTimeStages(Split a, std::size_t start, std::size_t end) {
  for (std::size_t q = start; q < end; q += 4) {
    double* r = a.re + q;
    double* i = a.im + q;
    const double r0 = r[0] + r[1], i0 = i[0] + i[1], r1 = r[0] - r[1], i1 = i[0] - i[1];
    const double r2 = r[2] + r[3], i2 = i[2] + i[3], r3 = r[2] - r[3], i3 = i[2] - i[3];
    // h = 2: t = b conj(w): w = 1 for (0, 2); w = -i, conj i, for (1, 3): t = i b3.
    const double tr = -i3, ti = r3;
    r[0] = r0 + r2;
    i[0] = i0 + i2;
    r[2] = r0 - r2;
    i[2] = i0 - i2;
    r[1] = r1 + tr;
    i[1] = i1 + ti;
    r[3] = r1 - tr;
    i[3] = i1 - ti;
  }
}

// The lowest `bits` bits of k in reverse order.
constexpr std::array<std::uint8_t, 256> kReversedBytes = [] {
  std::array<std::uint8_t, 256> t{};
  for (unsigned v = 0; v < 256; ++v) {
    unsigned r = 0;
    for (unsigned b = 0; b < 8; ++b) r |= ((v >> b) & 1u) << (7 - b);
    t[v] = static_cast<std::uint8_t>(r);
  }
  return t;
}();
inline std::size_t Reverse(std::uint64_t k, unsigned bits) {
  std::uint64_t r = 0;
  for (unsigned byte = 0; byte < 8; ++byte) r = (r << 8) | kReversedBytes[(k >> (8 * byte)) & 0xff];
  return static_cast<std::size_t>(r >> (64 - bits));
}

inline cd Mul(cd a, cd b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline cd MulConj(cd a, cd b) {  // a * conj(b)
  return {a.real() * b.real() + a.imag() * b.imag(), a.imag() * b.real() - a.real() * b.imag()};
}
inline cd TimesI(cd a) { return {-a.imag(), a.real()}; }

}  // namespace

std::size_t FftFilter::SizeFor(std::size_t count) {
  std::size_t n = 4;
  while (n < count) n *= 2;
  return n;
}

FftFilter::FftFilter(std::size_t n) : n_(SizeFor(n)), m_(n_ / 2), block_(std::min(m_, kCacheBlock)), fineBits_(0) {
  // e^(-2 pi i k / n), k < m, as coarse[k / fine] * fine[k % fine]: about 2 sqrt(m) sines.
  while ((std::size_t{1} << (2 * fineBits_)) < m_) ++fineBits_;
  const std::size_t fine = std::size_t{1} << fineBits_;
  const double step = -2.0 * std::numbers::pi / static_cast<double>(n_);
  fineTurn_.resize(fine);
  coarseTurn_.resize(m_ / fine + 1);
  for (std::size_t j = 0; j < fine; ++j) fineTurn_[j] = std::polar(1.0, step * static_cast<double>(j));
  for (std::size_t j = 0; j < coarseTurn_.size(); ++j) coarseTurn_[j] = std::polar(1.0, step * static_cast<double>(j * fine));

  // Stage h: e^(-pi i j / h) = Turn(j m / h).
  const std::size_t whole = std::max(block_, m_ / block_);
  smallRe_.resize(whole);
  smallIm_.resize(whole);
  for (std::size_t h = 1; h < whole; h *= 2) {
    for (std::size_t j = 0; j < h; ++j) {
      const cd w = Turn(j * (m_ / h));
      smallRe_[h + j] = w.real();
      smallIm_[h + j] = w.imag();
    }
  }
  for (std::size_t h = block_; h < m_; h *= 2) {
    for (std::size_t j = 0; j < block_; ++j) {
      const cd w = Turn(j * (m_ / h));
      columnRe_.push_back(w.real());
      columnIm_.push_back(w.imag());
    }
  }
}

std::complex<double> FftFilter::Turn(std::size_t k) const {
  return Mul(coarseTurn_[k >> fineBits_], fineTurn_[k & ((std::size_t{1} << fineBits_) - 1)]);
}

void FftFilter::Run(std::span<double> x, GainFunction gainOf, const void* context) const {
  const std::size_t m = m_;
  auto gain = [&](std::size_t bin) { return gainOf(context, bin); };
  // z[j] = x[2j] + i x[2j+1], zero-padded (values beyond n are not the filter's).
  const std::size_t given = std::min(x.size(), n_);
  std::vector<double> re(m), im(m);
  for (std::size_t j = 0; 2 * j < given; ++j) {
    re[j] = x[2 * j];
    if (2 * j + 1 < given) im[j] = x[2 * j + 1];
  }
  const Split a{re.data(), im.data()};
  std::vector<std::size_t> large;  // the half-sizes from block_ to m/2
  for (std::size_t h = block_; h < m; h *= 2) large.push_back(h);

  // Forward transform, decimation in frequency: natural order in, bit-reversed order out.
  std::reverse(large.begin(), large.end());
  TiledStages(a, m, block_, large, smallRe_, smallIm_, columnRe_.data(), columnIm_.data(), TileFrequency{});
  for (std::size_t b = 0; b < m; b += block_) {
    for (std::size_t h = block_ / 2; h >= 4; h /= 2) FrequencyStage(a, b, b + block_, h, &smallRe_[h], &smallIm_[h]);
    if (block_ >= 4) {
      LastFrequencyStages(a, b, b + block_);
    } else {
      for (std::size_t h = block_ / 2; h >= 1; h /= 2) FrequencyStage(a, b, b + block_, h, &smallRe_[h], &smallIm_[h]);
    }
  }

  // Position p now holds Z[rev(p)]. Bins 0 and m (the DC and Nyquist terms of x) share p = 0;
  // bin k and bin m - k sit at mirrored positions of one octave [2^q, 2^(q+1)) (p = 1, bin m/2,
  // pairs with itself). For each pair: untangle the two half-length transforms into X[k] and
  // X[m-k], apply the gain, and tangle them again for the inverse.
  {
    const double x0 = re[0] + im[0], xm = re[0] - im[0];
    const double y0 = x0 * gain(0).real(), ym = xm * gain(m).real();
    re[0] = 0.5 * (y0 + ym);
    im[0] = 0.5 * (y0 - ym);
  }
  unsigned bits = 0;
  while ((std::size_t{1} << bits) < m) ++bits;
  for (std::size_t octave = 1; octave < m; octave *= 2) {
    const std::size_t count = std::max<std::size_t>(octave / 2, 1);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t pa = octave + i, pb = 3 * octave - 1 - pa;
      std::size_t k = Reverse(pa, bits);
      std::size_t pk = pa, pmk = pb;  // positions of bins k and m - k, k <= m/2
      if (k > m / 2) {
        k = m - k;
        std::swap(pk, pmk);
      }
      const cd w = Turn(k);
      const cd zk{re[pk], im[pk]}, zmk{re[pmk], im[pmk]};
      const cd even = 0.5 * (zk + std::conj(zmk));
      const cd odd = cd(0.0, -0.5) * (zk - std::conj(zmk));
      const cd yk = Mul(even + Mul(w, odd), gain(k));
      const cd ymk = Mul(std::conj(even) - MulConj(std::conj(odd), w), gain(m - k));
      const cd e = 0.5 * (yk + std::conj(ymk));
      const cd o = MulConj(0.5 * (yk - std::conj(ymk)), w);
      const cd first = e + TimesI(o), second = std::conj(e) + TimesI(std::conj(o));
      re[pk] = first.real();
      im[pk] = first.imag();
      re[pmk] = second.real();
      im[pmk] = second.imag();
    }
  }

  // Inverse transform, decimation in time: bit-reversed order in, natural order out.
  for (std::size_t b = 0; b < m; b += block_) {
    std::size_t h = 1;
    if (block_ >= 4) {
      FirstTimeStages(a, b, b + block_);
      h = 4;
    }
    for (; h < block_; h *= 2) TimeStage(a, b, b + block_, h, &smallRe_[h], &smallIm_[h]);
  }
  std::reverse(large.begin(), large.end());
  TiledStages(a, m, block_, large, smallRe_, smallIm_, columnRe_.data(), columnIm_.data(), TileTime{});

  const double scale = 1.0 / static_cast<double>(m);
  for (std::size_t j = 0; 2 * j < given; ++j) {
    x[2 * j] = re[j] * scale;
    if (2 * j + 1 < given) x[2 * j + 1] = im[j] * scale;
  }
}

}  // namespace hulvex::analysis
