#include "analysis/real_fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace hulvex::analysis {

namespace {
using cd = std::complex<double>;

// a * b without the library's checks for infinities (the factors are finite).
inline cd Mul(cd a, cd b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline cd MulConj(cd a, cd b) {  // a * conj(b)
  return {a.real() * b.real() + a.imag() * b.imag(), a.imag() * b.real() - a.real() * b.imag()};
}

}  // namespace

std::size_t RealFft::SizeFor(std::size_t count) {
  std::size_t n = 4;
  while (n < count) n *= 2;
  return n;
}

RealFft::RealFft(std::size_t n) : n_(SizeFor(n)), half_(n_ / 2), turn_(half_), stage_(half_) {
  // turn_[k] = coarse[k / block] * fine[k % block]: about 2 sqrt(n) sines instead of n / 2.
  std::size_t block = 1;
  while (block * block < half_) block *= 2;
  const double step = -2.0 * std::numbers::pi / static_cast<double>(n_);
  std::vector<cd> fine(block), coarse(half_ / block + 1);
  for (std::size_t j = 0; j < fine.size(); ++j) fine[j] = std::polar(1.0, step * static_cast<double>(j));
  for (std::size_t j = 0; j < coarse.size(); ++j) coarse[j] = std::polar(1.0, step * static_cast<double>(j * block));
  for (std::size_t k = 0; k < half_; ++k) turn_[k] = Mul(coarse[k / block], fine[k % block]);
  // Stage h of the half-length transform needs e^(-2 pi i j / (2h)) = turn_[j * n / (2h)].
  for (std::size_t h = 1; h < half_; h *= 2) {
    const std::size_t stride = n_ / (2 * h);
    for (std::size_t j = 0; j < h; ++j) stage_[h + j] = turn_[j * stride];
  }
}

void RealFft::Complex(std::span<cd> a, bool inverse) const {
  const std::size_t m = a.size();
  for (std::size_t i = 1, j = 0; i < m; ++i) {
    std::size_t bit = m >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t h = 1; h < m; h *= 2) {
    const cd* w = &stage_[h];
    for (std::size_t start = 0; start < m; start += 2 * h) {
      cd* lo = &a[start];
      cd* hi = lo + h;
      for (std::size_t j = 0; j < h; ++j) {
        const cd t = inverse ? MulConj(hi[j], w[j]) : Mul(hi[j], w[j]);
        hi[j] = lo[j] - t;
        lo[j] += t;
      }
    }
  }
}

void RealFft::Forward(std::span<const double> x, std::span<cd> spectrum) const {
  // z[j] = x[2j] + i x[2j+1]; Z = FFT(z); the even and odd parts of Z give X.
  std::vector<cd> z(half_);
  for (std::size_t j = 0; j < half_; ++j) z[j] = {x[2 * j], x[2 * j + 1]};
  Complex(z, false);
  spectrum[0] = {z[0].real() + z[0].imag(), 0.0};
  spectrum[half_] = {z[0].real() - z[0].imag(), 0.0};
  for (std::size_t k = 1; k < half_; ++k) {
    const cd a = z[k], b = std::conj(z[half_ - k]);
    const cd even = 0.5 * (a + b);
    const cd odd = cd(0.0, -0.5) * (a - b);
    spectrum[k] = even + Mul(turn_[k], odd);
  }
}

void RealFft::Inverse(std::span<cd> spectrum, std::span<double> x) const {
  std::vector<cd> z(half_);
  const double x0 = spectrum[0].real(), xm = spectrum[half_].real();
  z[0] = {0.5 * (x0 + xm), 0.5 * (x0 - xm)};
  for (std::size_t k = 1; k < half_; ++k) {
    const cd a = spectrum[k], b = std::conj(spectrum[half_ - k]);
    const cd even = 0.5 * (a + b);
    const cd odd = MulConj(0.5 * (a - b), turn_[k]);  // times e^(+2 pi i k / n)
    z[k] = even + cd(-odd.imag(), odd.real());        // even + i odd
  }
  Complex(z, true);
  const double scale = 1.0 / static_cast<double>(half_);
  for (std::size_t j = 0; j < half_; ++j) {
    x[2 * j] = z[j].real() * scale;
    x[2 * j + 1] = z[j].imag() * scale;
  }
}

}  // namespace hulvex::analysis
