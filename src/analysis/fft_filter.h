// Linear filtering of a real sequence in the frequency domain: a zero-padded discrete Fourier
// transform whose length is a power of two, multiplied by a frequency response, transformed
// back. The real sequence travels as a complex one of half the length; neither transform
// reorders its data (the spectrum is visited in bit-reversed order). An object holds only its
// twiddle factors, so one object may serve several threads.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace hulvex::analysis {

class FftFilter {
public:
  // n: the transform length, rounded up to a power of two of at least 4.
  explicit FftFilter(std::size_t n);

  std::size_t Size() const { return n_; }

  // With X the transform of x (x.size() <= n, zero beyond its values; values past n are left
  // alone), X[k] = sum over j of
  // x[j] e^(-2 pi i j k / n): replaces x by the first x.size() samples of the inverse transform
  // (scaled by 1/n) of X[k] gain(k) for k = 0 ... n/2, the bins above n/2 conjugate to theirs so
  // that the result is real. The imaginary parts of gain(0) and gain(n/2) are not used.
  // `gain(std::size_t bin)` returns std::complex<double>; it is called once per bin, in no
  // particular order.
  template <typename Gain>
  void Filter(std::span<double> x, const Gain& gain) const {
    Run(x, [](const void* g, std::size_t bin) { return (*static_cast<const Gain*>(g))(bin); }, &gain);
  }

  // The smallest power of two, at least 4, not below `count`.
  static std::size_t SizeFor(std::size_t count);

private:
  using GainFunction = std::complex<double> (*)(const void* gain, std::size_t bin);
  void Run(std::span<double> x, GainFunction gain, const void* context) const;
  // e^(-2 pi i k / n) for 0 <= k < m, as a product of two table entries.
  std::complex<double> Turn(std::size_t k) const;

  std::size_t n_;
  std::size_t m_;      // n/2, the length of the complex transforms
  std::size_t block_;  // stages shorter than this run block by block in cache
  unsigned fineBits_;  // fineTurn_ has 2^fineBits_ entries
  std::vector<std::complex<double>> fineTurn_, coarseTurn_;
  // Twiddles e^(-pi i j / h), real and imaginary parts apart: whole for h below
  // max(block_, m / block_), at offset h; for the larger stages only j < block_, stage by stage
  // from h = block_ up (the others are products of two, see the tiled stages).
  std::vector<double> smallRe_, smallIm_;
  std::vector<double> columnRe_, columnIm_;
};

}  // namespace hulvex::analysis
