// Discrete Fourier transform of real sequences whose length is a power of two, through a complex
// transform of half the length. Used by the frequency weighting; an object holds only its
// twiddle factors, so one object may serve several threads.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace hulvex::analysis {

class RealFft {
public:
  // n: the transform length, a power of two, at least 4.
  explicit RealFft(std::size_t n);

  std::size_t Size() const { return n_; }

  // spectrum[k] = sum over j of x[j] e^(-2 pi i j k / n), k = 0 ... n/2. x.size() == n,
  // spectrum.size() == n/2 + 1.
  void Forward(std::span<const double> x, std::span<std::complex<double>> spectrum) const;

  // The inverse of Forward for the conjugate-symmetric spectrum whose bins 0 ... n/2 are given
  // (imaginary parts of bins 0 and n/2 are taken as 0), scaled by 1/n. Overwrites `spectrum`.
  void Inverse(std::span<std::complex<double>> spectrum, std::span<double> x) const;

  // The smallest power of two, at least 4, not below `count`.
  static std::size_t SizeFor(std::size_t count);

private:
  void Complex(std::span<std::complex<double>> a, bool inverse) const;

  std::size_t n_;
  std::size_t half_;
  std::vector<std::complex<double>> turn_;   // e^(-2 pi i k / n), k = 0 ... n/2 - 1
  std::vector<std::complex<double>> stage_;  // at offset h: e^(-pi i j / h), j < h, for each stage h
};

}  // namespace hulvex::analysis
