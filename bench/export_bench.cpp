// Exporting a demonstration run (30 s, a deadrise hull in a sinusoidal head sea) as MP4, GIF and
// WebM at 25 frames per second, and MP4 at scale 2: how many times faster than real time, and the
// CPU time all threads spend on it.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <memory>

#include "export/video_export.h"
#include "run/loaded_run.h"
#include "demo/demo_runs.h"
#include "support/file_edit.h"

namespace hulvex {
namespace {

test_support::TempDir& Dir() {
  static test_support::TempDir dir;
  return dir;
}

// The first demonstration run, opened once.
const LoadedRun& DemoRun() {
  static std::unique_ptr<LoadedRun> run;
  if (run) return *run;
  const std::string path = demo::WriteDemoRun(Dir().path(), demo::DemoCases().front());
  run = std::make_unique<LoadedRun>();
  run->DataDir = Dir().path();
  NullDiagnostics diag;
  OpenRun(*run, path, diag);
  return *run;
}

double ProcessCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const char* const kExtensions[] = {".mp4", ".gif", ".webm"};

void BM_ExportDemoRun(benchmark::State& state) {
  const LoadedRun& run = DemoRun();
  const VideoSource source(run);
  ExportSettings settings;
  settings.Scale = static_cast<int>(state.range(1));
  const std::string out = Dir() / (std::string("bench") + kExtensions[state.range(0)]);
  const double seconds = run.History.StepTimes.back() - run.History.StepTimes.front();
  NullDiagnostics diag;
  const double cpuBefore = ProcessCpuSeconds();
  for (auto _ : state) ExportVideo(source, out, settings, ExportControl{}, diag);
  const double cpu = (ProcessCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
  state.counters["x_real_time"] = benchmark::Counter(seconds * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
  // CPU seconds of all threads (the encoders' included) per export: the figure a busy machine
  // does not distort.
  state.counters["process_cpu_s"] = cpu;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(out)) / 1e6;
  state.SetLabel(kExtensions[state.range(0)] + std::string(" scale ") + std::to_string(state.range(1)));
}
BENCHMARK(BM_ExportDemoRun)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({0, 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

}  // namespace
}  // namespace hulvex
