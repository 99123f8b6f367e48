// Sea surface evaluation: one video frame samples the surface at 55 points along the boat.
#include <benchmark/benchmark.h>

#include "sea/sea_model.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {

constexpr int kFramePoints = 55;  // stations -8 ... 46

SeaConstants BenchSea(int waves) {
  RunParameters p = demo::SampleRunParameters();
  p.Waves = static_cast<std::int16_t>(waves);
  p.WvHHS = 2.0f;
  p.WvSteep = 0.05f;
  p.RWvN = 40;
  p.RWvTdelay = 300.0f;
  p.StokesN = 9;
  NullDiagnostics diag;
  return SeaSetUp(p, diag);
}

// Args: sea kind. A 30 ft boat with 40 stations at 30 knots, 100 frames a second of run time, the
// local surface term on over the hull.
void BM_SeaElevationFrame(benchmark::State& state) {
  const SeaConstants sea = BenchSea(static_cast<int>(state.range(0)));
  NullDiagnostics diag;
  const double spacing = 30.0 / 40, cosTheta = 0.9976;
  double t = 0.0;
  for (auto _ : state) {
    const double xb = 50.6 * t;
    for (int i = -8; i <= 46; ++i) {
      const double start = (i >= 0 && i <= 40) ? 12.0 : 10'000'000.0;
      benchmark::DoNotOptimize(SeaElevation(sea, xb, i * spacing * cosTheta, t, {0.02, start, 28.0}, diag));
    }
    t += 0.01;
  }
  state.SetItemsProcessed(state.iterations() * kFramePoints);
}
BENCHMARK(BM_SeaElevationFrame)
    ->ArgName("Waves")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace hulvex
