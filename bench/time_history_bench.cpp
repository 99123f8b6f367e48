// Opening and indexing long time histories, and reading steps from them.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>

#include "runfiles/time_history.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {

// One generated history per (steps, LastChannel), written once per benchmark process.
const std::string& HistoryRun(std::int32_t steps, std::int16_t lastChannel) {
  static test_support::TempDir dir;
  static std::map<std::pair<std::int32_t, std::int16_t>, std::string> runs;
  auto key = std::make_pair(steps, lastChannel);
  auto it = runs.find(key);
  if (it != runs.end()) return it->second;
  demo::HistorySpec spec;
  spec.LastChannel = lastChannel;
  spec.Steps = steps;
  spec.values = [](std::int32_t s, std::span<float> ch) {
    const double t = s * 0.005;
    for (std::size_t c = 0; c < ch.size(); ++c) ch[c] = static_cast<float>(std::sin(t + c));
    return t;
  };
  std::string name = "H";  // built piecewise: GCC 12 warns falsely on "literal" + std::string here
  name += std::to_string(steps);
  name += '_';
  name += std::to_string(lastChannel);
  const std::string run = dir / name;
  demo::WriteTimeHistoryFile(run + ".TTS", spec);
  return runs.emplace(key, run).first->second;
}

void BM_OpenTimeHistory(benchmark::State& state) {
  const auto steps = static_cast<std::int32_t>(state.range(0));
  const auto lastChannel = static_cast<std::int16_t>(state.range(1));
  const std::string& run = HistoryRun(steps, lastChannel);
  NullDiagnostics diag;
  for (auto _ : state) {
    TimeHistory h;
    if (OpenTimeHistory(h, run, false, diag) != HistoryOpenResult::Opened) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(h.StepTimes.data());
  }
  state.counters["steps"] = steps;
  state.counters["index_bytes_per_step"] = sizeof(double);
}
BENCHMARK(BM_OpenTimeHistory)
    ->Args({10'000, 11})
    ->Args({100'000, 11})
    ->Args({1'000'000, 11})
    ->Args({1'000'000, 40})
    ->Unit(benchmark::kMillisecond);

void BM_ReadStepRandom(benchmark::State& state) {
  const std::string& run = HistoryRun(1'000'000, static_cast<std::int16_t>(state.range(0)));
  NullDiagnostics diag;
  TimeHistory h;
  OpenTimeHistory(h, run, false, diag);
  std::mt19937 gen(42);
  std::uniform_int_distribution<std::int32_t> pick(0, h.StepCount() - 1);
  for (auto _ : state) {
    const StepValues v = ReadStep(h, pick(gen), false, diag);
    benchmark::DoNotOptimize(v.Channels[0]);
  }
}
BENCHMARK(BM_ReadStepRandom)->Arg(11)->Arg(40);

void BM_ReadStepSequentialPass(benchmark::State& state) {
  const std::string& run = HistoryRun(1'000'000, 11);
  NullDiagnostics diag;
  TimeHistory h;
  OpenTimeHistory(h, run, false, diag);
  for (auto _ : state) {
    double sum = 0;
    for (std::int32_t s = 0; s < h.StepCount(); ++s) sum += ReadStep(h, s, true, diag).Channels[2];
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_ReadStepSequentialPass)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex
