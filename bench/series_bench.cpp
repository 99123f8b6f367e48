// The min/max envelope of a 1 000 000-step channel at a plot's width: the whole run, and a third.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "run/envelope.h"

namespace hulvex {
namespace {

void BM_Envelope(benchmark::State& state) {
  const std::size_t n = 1'000'000;
  std::vector<double> t(n);
  std::vector<float> v(n);
  for (std::size_t s = 0; s < n; ++s) {
    t[s] = static_cast<double>(s) * 0.005;
    v[s] = static_cast<float>(std::sin(t[s] * 1.9) + 0.2 * std::sin(t[s] * 23.0));
  }
  const double span = t.back() / static_cast<double>(state.range(0));
  Envelope e;
  for (auto _ : state) {
    BuildEnvelope(t, v, 1.0, 0.0, span, 1000, e);
    benchmark::DoNotOptimize(e.Points.data());
  }
  state.counters["points"] = static_cast<double>(e.Points.size());
}
BENCHMARK(BM_Envelope)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hulvex
