// Seakeeping statistics: every figure of one 1 000 000-step history held in memory, and
// `hulvex stats` over 1000 runs of 3000 steps written to a temporary directory.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <vector>

#include "analysis/iso2631.h"
#include "cli/cli_support.h"
#include "run/window_statistics.h"
#include "runfiles/time_history.h"
#include "support/file_edit.h"
#include "demo/run_writers.h"

namespace hulvex {
namespace {
namespace an = analysis;

// Irregular heave and pitch in a head sea: 12 components from 0.3 to 2 Hz with fixed random
// phases; the acceleration is the heave's second derivative with a short slam at every crest.
struct IrregularMotion {
  struct Component {
    double amplitude, omega, phase;
  };
  std::vector<Component> heave;
  IrregularMotion() {
    std::mt19937 gen(2631);
    std::uniform_real_distribution<double> phase(0, 2 * 3.141592653589793);
    for (int i = 0; i < 12; ++i) {
      const double f = 0.3 + 0.15 * i;
      heave.push_back({0.4 / (1 + i), 2 * 3.141592653589793 * f, phase(gen)});
    }
  }
  // Fills channels 0, 2, 3 and 7 (stored units) at time t.
  void At(double t, std::span<float> ch) const {
    double z = 0, a = 0, p = 0;
    for (const Component& c : heave) {
      const double s = std::sin(c.omega * t + c.phase);
      z += c.amplitude * s;
      a -= c.amplitude * c.omega * c.omega * s;
      p += 0.02 * c.amplitude * std::cos(c.omega * t + c.phase);
    }
    if (z > 0.5) a += 40 * (z - 0.5);  // slams
    ch[kChHeight] = static_cast<float>(0.4 + z);
    ch[kChAcceleration] = static_cast<float>(a);
    ch[kChPitch] = static_cast<float>(0.06 + p);
    ch[kChSpeed] = static_cast<float>(45 + 0.5 * std::sin(0.05 * t));
  }
};

constexpr int kChannels[] = {kChHeight, kChAcceleration, kChPitch, kChSpeed};
constexpr double kInf = std::numeric_limits<double>::infinity();

// The series as the open collects them: step times, and channels 0, 2, 3, 7 in single precision.
struct History {
  std::vector<double> time;
  std::vector<std::vector<float>> raw;
  History(std::size_t steps, double dt) : time(steps), raw(4, std::vector<float>(steps)) {
    const IrregularMotion motion;
    std::array<float, 8> ch{};
    for (std::size_t s = 0; s < steps; ++s) {
      time[s] = static_cast<double>(s) * dt;
      motion.At(time[s], ch);
      for (std::size_t k = 0; k < 4; ++k) raw[k][s] = ch[static_cast<std::size_t>(kChannels[k])];
    }
  }
};

// What `hulvex stats` does once the series are read: ComputeWindowStatistics over the whole run
// (each block's channel scaled to display units, m/s^2 for ISO 2631-1 on a second thread).
void BM_AllStatistics(benchmark::State& state) {
  const History h(static_cast<std::size_t>(state.range(0)), 0.01);
  StatisticsInput input{h.time, 0, kChSpeed, {}};
  for (std::size_t k = 0; k < 4; ++k) input.Series.emplace_back(kChannels[k], h.raw[k]);
  const StatisticsRequest request{-kInf, kInf, {std::begin(kChannels), std::end(kChannels)}, 0.0};
  std::size_t peaks = 0;
  for (auto _ : state) {
    const WindowStatistics w = ComputeWindowStatistics(input, request);
    if (!w.Iso.has_value()) state.SkipWithError(w.Iso.Reason.c_str());
    peaks = w.Impacts.has_value() ? w.Impacts->PeakCount : 0;
    benchmark::DoNotOptimize(w);
  }
  state.counters["steps"] = static_cast<double>(state.range(0));
  state.counters["peaks"] = static_cast<double>(peaks);
}
BENCHMARK(BM_AllStatistics)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// The frequency weighting alone, for the share it takes.
void BM_WeightWk(benchmark::State& state) {
  const History h(static_cast<std::size_t>(state.range(0)), 0.01);
  std::vector<double> ms2(h.time.size());
  for (std::size_t s = 0; s < ms2.size(); ++s) ms2[s] = static_cast<double>(h.raw[1][s]) * an::kMetresPerFoot;
  for (auto _ : state) benchmark::DoNotOptimize(an::WeightWk(ms2, 0.01));
}
BENCHMARK(BM_WeightWk)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

// 1000 runs of 3000 steps at 0.01 s, written once per process.
const std::vector<std::string>& ManyRuns() {
  static test_support::TempDir dir;
  static std::vector<std::string> runs;
  if (!runs.empty()) return runs;
  const IrregularMotion motion;
  for (int r = 0; r < 1000; ++r) {
    demo::HistorySpec spec;
    spec.Steps = 3000;
    spec.EndTime = 29.99;
    const double shift = 7.3 * r;  // each run a different stretch of the same sea
    spec.values = [&motion, shift](std::int32_t s, std::span<float> ch) {
      const double t = s * 0.01;
      motion.At(shift + t, ch);
      return t;
    };
    std::string name = "R";  // built piecewise: GCC 12 warns falsely on "literal" + std::string here
    name += std::to_string(r);
    runs.push_back(demo::WriteSampleRun(dir.path(), name, demo::SampleRunParameters(), spec));
  }
  return runs;
}

void BM_StatsCommand1000Runs(benchmark::State& state) {
  std::vector<std::string> args{"hulvex", "stats"};
  for (const std::string& run : ManyRuns()) args.push_back(run);
  if (state.range(0) == 1) args.push_back("--csv");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::size_t lines = 0;
  for (auto _ : state) {
    std::istringstream in;
    std::ostringstream out, err;
    if (cli::RunTool(static_cast<int>(argv.size()), argv.data(), in, out, err) != 0) state.SkipWithError("stats failed");
    const std::string text = out.str();
    lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  state.counters["runs"] = 1000;
  state.counters["lines"] = static_cast<double>(lines);
}
BENCHMARK(BM_StatsCommand1000Runs)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace hulvex
