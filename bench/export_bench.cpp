// Exporting a demonstration run (30 s, a deadrise hull in a sinusoidal head sea) as MP4, GIF and
// WebM at 25 frames per second, and MP4 at scale 2; and the first two demonstration runs stacked
// and overlaid as MP4: how many times faster than real time, and the CPU time all threads spend
// on it.
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

// Demonstration run `index`, opened once.
const LoadedRun& DemoRun(std::size_t index = 0) {
  static std::unique_ptr<LoadedRun> runs[2];
  std::unique_ptr<LoadedRun>& run = runs[index];
  if (run) return *run;
  const std::string path = demo::WriteDemoRun(Dir().path(), demo::DemoCases().at(index));
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

// The figures of an export done `export_` times over `seconds` of simulated time.
template <typename Export>
void MeasureExport(benchmark::State& state, double seconds, const std::string& out, Export export_) {
  const double cpuBefore = ProcessCpuSeconds();
  for (auto _ : state) export_();
  const double cpu = (ProcessCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
  state.counters["x_real_time"] = benchmark::Counter(seconds * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
  // CPU seconds of all threads (the encoders' included) per export: the figure a busy machine
  // does not distort.
  state.counters["process_cpu_s"] = cpu;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(out)) / 1e6;
}

void BM_ExportDemoRun(benchmark::State& state) {
  const LoadedRun& run = DemoRun();
  const VideoSource source(run);
  ExportSettings settings;
  settings.Scale = static_cast<int>(state.range(1));
  const std::string out = Dir() / (std::string("bench") + kExtensions[state.range(0)]);
  const double seconds = run.History.StepTimes.back() - run.History.StepTimes.front();
  NullDiagnostics diag;
  MeasureExport(state, seconds, out, [&] { ExportVideo(source, out, settings, ExportControl{}, diag); });
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

// Two demonstration runs played together over the span they share, as MP4 at scale 1: stacked
// (range 0) and overlaid (range 1). Real time is the span's length.
void BM_ExportComparedRuns(benchmark::State& state) {
  const VideoSource first(DemoRun(0)), second(DemoRun(1));
  const ComparedRun runs[] = {{&first, "first"}, {&second, "second"}};
  const auto layout = state.range(0) == 0 ? ComparedLayout::Stacked : ComparedLayout::Overlay;
  const ExportSettings settings;
  const ExportPlan plan = PlanComparedExport(runs, settings);
  const std::string out = Dir() / "compared.mp4";
  NullDiagnostics diag;
  MeasureExport(state, plan.To - plan.From, out,
                [&] { ExportComparedVideo(runs, layout, out, settings, ExportControl{}, diag); });
  state.SetLabel(layout == ComparedLayout::Stacked ? ".mp4 two runs stacked" : ".mp4 two runs overlaid");
}
BENCHMARK(BM_ExportComparedRuns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace hulvex
