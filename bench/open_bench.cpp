// Opening a whole run as the viewer does: parameters, boat, hull, sea, stations, the step-time
// index and the camera track; and what the open run holds in memory per step.
#include <sys/resource.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "common/file_lookup.h"
#include "run/loaded_run.h"
#include "demo/boat_writer.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"
#include "video/video_player.h"

namespace hulvex {
namespace {

const std::string& LongRun(std::int32_t steps, std::int16_t lastChannel) {
  static test_support::TempDir dir;
  static std::map<std::pair<std::int32_t, std::int16_t>, std::string> runs;
  const auto key = std::make_pair(steps, lastChannel);
  if (auto it = runs.find(key); it != runs.end()) return it->second;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B.BOT";
  demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(4));
  demo::HistorySpec spec;
  spec.LastChannel = lastChannel;
  spec.Steps = steps;
  spec.EndTime = (steps - 1) * 0.005;
  spec.values = demo::SteadyPlaning(0.005, 45.0, 1.4);
  std::string name = "OPEN";
  name += std::to_string(steps);
  name += '_';
  name += std::to_string(lastChannel);
  return runs.emplace(key, demo::WriteSampleRun(dir.path(), name, p, spec)).first->second;
}

void BM_OpenRun(benchmark::State& state) {
  const std::string& path = LongRun(static_cast<std::int32_t>(state.range(0)), static_cast<std::int16_t>(state.range(1)));
  NullDiagnostics diag;
  std::size_t held = 0;
  for (auto _ : state) {
    LoadedRun run;
    run.DataDir = DirectoryOf(path);
    if (OpenRun(run, path, diag) != RunOpenResult::Loaded) state.SkipWithError("open failed");
    const auto track = BuildHistoryTrack(run.History, diag);
    held = run.History.StepTimes.capacity() * sizeof(double) + track.capacity() * sizeof(float);
    benchmark::DoNotOptimize(track.data());
  }
  state.counters["held_bytes_per_step"] = static_cast<double>(held) / static_cast<double>(state.range(0));
  // The process's peak resident set so far (it grows with the largest run opened).
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_OpenRun)
    ->ArgsProduct({{10'000, 100'000, 1'000'000}, {11, 40}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex
