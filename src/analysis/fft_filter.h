// Linear filtering of a real sequence in the frequency domain: a zero-padded discrete Fourier
// transform whose length is a power of two, multiplied by a frequency response, transformed
// back, by FFTW's real-data transforms. The FFTW plans of each length are made once per process
// (under a lock: FFTW's planner is not thread-safe) and kept until it exits; an object only
// refers to them, so one object may serve several threads.
#pragma once

#include <complex>
#include <cstddef>
#include <span>

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

  // The transform alone: X[k], k = 0 ... n/2, of the n values of `x` (x.size() == Size()), into
  // `spectrum` (n/2 + 1 values).
  void Transform(std::span<const double> x, std::span<std::complex<double>> spectrum) const;

  // The smallest power of two, at least 4, not below `count`.
  static std::size_t SizeFor(std::size_t count);

private:
  struct Plans;  // the FFTW plans of one length
  // The plans of length n, made on first use.
  static const Plans& PlansOf(std::size_t n);

  using GainFunction = std::complex<double> (*)(const void* gain, std::size_t bin);
  void Run(std::span<double> x, GainFunction gain, const void* context) const;

  std::size_t n_;
  const Plans* plans_;
};

}  // namespace hulvex::analysis
