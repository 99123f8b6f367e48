// One frame of the video per sea kind: composing it, and composing plus drawing it; and the
// camera track of a long history.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>

#include "run/loaded_run.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "video/frame_composition.h"
#include "video/frame_drawing.h"
#include "run/smooth_track.h"
#include "video/video_player.h"

namespace hulvex {
namespace {

// An opened run of a 24 ft type-4 boat in the given sea kind (random sea with 40 components).
const LoadedRun& RunInSea(int waves) {
  static test_support::TempDir dir;
  static std::map<int, std::unique_ptr<LoadedRun>> runs;
  auto& slot = runs[waves];
  if (slot) return *slot;
  RunParameters p = demo::SampleRunParameters();
  p.Waves = static_cast<std::int16_t>(waves);
  p.RWvN = 40;
  p.StokesN = 9;
  p.BoatFile = "C:\\BOATS\\B.BOT";
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(4));
  demo::HistorySpec spec;
  spec.Steps = 2000;
  spec.values = demo::SteadyPlaning(0.01);
  const std::string path = demo::WriteSampleRun(dir.path(), "SEA" + std::to_string(waves), p, spec);
  slot = std::make_unique<LoadedRun>();
  slot->DataDir = dir.path();
  NullDiagnostics diag;
  OpenRun(*slot, path, diag);
  return *slot;
}

void BM_ComposeFrame(benchmark::State& state) {
  const LoadedRun& run = RunInSea(static_cast<int>(state.range(0)));
  const FrameGeometry g = FrameGeometryOf(run.Hull);
  NullDiagnostics diag;
  VideoFrame frame;
  std::int32_t s = 0;
  for (auto _ : state) {
    const StepValues step = ReadStep(run.History, s, false, diag);
    ComposeStep(frame, g, run.Sea, step, 0.01f, kPlaybackThreshold, diag);
    benchmark::DoNotOptimize(frame.List.pairs[100]);
    s = (s + 4) % run.History.StepCount();
  }
  state.SetLabel(SeaKindName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ComposeFrame)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

void BM_ComposeAndDrawFrame(benchmark::State& state) {
  const LoadedRun& run = RunInSea(static_cast<int>(state.range(0)));
  const FrameGeometry g = FrameGeometryOf(run.Hull);
  NullDiagnostics diag;
  VideoFrame frame;
  QImage bitmap = MakeFrameBitmap();
  std::int32_t s = 0;
  for (auto _ : state) {
    const StepValues step = ReadStep(run.History, s, false, diag);
    ComposeStep(frame, g, run.Sea, step, 0.01f, kPlaybackThreshold, diag);
    DrawFrame(bitmap, frame.List, PictureScale{}, step.StepTime, step.Channels[kChAcceleration],
              step.Channels[kChSpeed], diag);
    benchmark::DoNotOptimize(bitmap.constBits());
    s = (s + 4) % run.History.StepCount();
  }
  state.SetLabel(SeaKindName(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_ComposeAndDrawFrame)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

void BM_BuildSmoothTrack(benchmark::State& state) {
  const std::size_t n = 1'000'000;
  std::vector<double> t(n);
  std::vector<float> p(n), v(n);
  for (std::size_t i = 0; i < n; ++i) {
    t[i] = i * 0.005;
    v[i] = static_cast<float>(40 + 4 * std::sin(t[i]));
    p[i] = static_cast<float>(40 * t[i] + 4 * (1 - std::cos(t[i])));
  }
  for (auto _ : state) {
    const auto track = BuildSmoothTrack(t, p, v, 0.0, t.back(), 8.0f);
    benchmark::DoNotOptimize(track.data());
  }
}
BENCHMARK(BM_BuildSmoothTrack)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex
