#include "analysis/fft_filter.h"

#include <fftw3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "common/check.h"

namespace hulvex::analysis {

// In place: n reals become the n/2 + 1 complex values X[0] ... X[n/2] in the same storage, and
// back.
struct FftFilter::Plans {
  fftw_plan forward = nullptr;
  fftw_plan backward = nullptr;
};

namespace {

struct FftwFree {
  void operator()(double* p) const { fftw_free(p); }
};
using Buffer = std::unique_ptr<double[], FftwFree>;

// Storage for an in-place transform of length n (even): n + 2 doubles, aligned by fftw_malloc
// as every array the plans see must be alike.
Buffer Allocate(std::size_t n) {
  Buffer b(fftw_alloc_real(n + 2));
  if (!b) throw std::bad_alloc();
  return b;
}

fftw_complex* Spectrum(double* values) { return reinterpret_cast<fftw_complex*>(values); }

}  // namespace

// Powers of two rather than all the lengths FFTW transforms fast (2^a 3^b 5^c 7^d): less padding,
// but planning each new length costs milliseconds (tens of them near 2^20), more than
// transforming it; runs of many different lengths share a few plans this way, and 2^20 is
// transformed as fast as the nearest such length above 1 000 000.
std::size_t FftFilter::SizeFor(std::size_t count) {
  std::size_t n = 4;
  while (n < count) n *= 2;
  return n;
}

FftFilter::FftFilter(std::size_t n) : n_(SizeFor(n)), plans_(&PlansOf(n_)) {}

const FftFilter::Plans& FftFilter::PlansOf(std::size_t n) {
  // Kept until the process exits (one pair per power of two used): planning a length costs more
  // than transforming it. Making and destroying plans share FFTW's planner, hence the lock;
  // executing them on other arrays does not.
  struct Cache {
    std::mutex lock;
    std::map<std::size_t, Plans> plans;
    ~Cache() {
      for (auto& [length, p] : plans) {
        fftw_destroy_plan(p.forward);
        fftw_destroy_plan(p.backward);
      }
    }
  };
  static Cache cache;
  const std::lock_guard hold(cache.lock);
  if (const auto found = cache.plans.find(n); found != cache.plans.end()) return found->second;
  // FFTW_ESTIMATE chooses by FFTW's cost model instead of timing trial transforms (so alike in
  // every run, without wisdom files), and neither reads nor writes the arrays.
  const Buffer b = Allocate(n);
  const int length = static_cast<int>(n);
  Plans p;
  p.forward = fftw_plan_dft_r2c_1d(length, b.get(), Spectrum(b.get()), FFTW_ESTIMATE);
  p.backward = fftw_plan_dft_c2r_1d(length, Spectrum(b.get()), b.get(), FFTW_ESTIMATE);
  return cache.plans.emplace(n, p).first->second;
}

void FftFilter::Run(std::span<double> x, GainFunction gainOf, const void* context) const {
  const std::size_t n = n_, given = std::min(x.size(), n);
  const Buffer b = Allocate(n);
  double* values = b.get();
  std::copy_n(x.begin(), given, values);
  std::fill(values + given, values + n, 0.0);
  fftw_complex* spectrum = Spectrum(values);
  fftw_execute_dft_r2c(plans_->forward, values, spectrum);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    std::complex<double> g = gainOf(context, k);
    if (k == 0 || k == n / 2) g.imag(0);  // X[0] and X[n/2] are real, and must stay so
    const double re = spectrum[k][0], im = spectrum[k][1];
    spectrum[k][0] = re * g.real() - im * g.imag();
    spectrum[k][1] = re * g.imag() + im * g.real();
  }
  fftw_execute_dft_c2r(plans_->backward, spectrum, values);
  const double scale = 1.0 / static_cast<double>(n);
  for (std::size_t j = 0; j < given; ++j) x[j] = values[j] * scale;
}

void FftFilter::Transform(std::span<const double> x, std::span<std::complex<double>> spectrum) const {
  const std::size_t n = n_;
  HULVEX_ASSERT(x.size() == n && spectrum.size() == n / 2 + 1);
  const Buffer b = Allocate(n);
  double* values = b.get();
  std::copy(x.begin(), x.end(), values);
  fftw_complex* out = Spectrum(values);
  fftw_execute_dft_r2c(plans_->forward, values, out);
  for (std::size_t k = 0; k <= n / 2; ++k) spectrum[k] = {out[k][0], out[k][1]};
}

}  // namespace hulvex::analysis
