// `hulvex compare` of eight runs against `hulvex stats` of the same eight runs, measured in the
// same process one after the other, so that the ratio holds however loaded the machine is.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_support.h"
#include "demo/run_writers.h"
#include "runfiles/time_history.h"
#include "support/file_edit.h"

namespace hulvex {
namespace {

constexpr int kRuns = 8;
constexpr std::int32_t kSteps = 60'000;  // 600 s at 0.01 s

// Eight runs of 600 s, each starting 2 s after the one before (they share 14 s to 599.99 s), with a swell
// of its own amplitude and period; written once per process.
const std::vector<std::string>& EightRuns() {
  static test_support::TempDir dir;
  static std::vector<std::string> runs;
  if (!runs.empty()) return runs;
  for (int r = 0; r < kRuns; ++r) {
    const double start = 2.0 * r, amplitude = 0.8 + 0.1 * r, omega = 2 * 3.141592653589793 / (1.5 + 0.2 * r);
    demo::HistorySpec spec;
    spec.Steps = kSteps;
    spec.StartTime = start;
    spec.EndTime = start + (kSteps - 1) * 0.01;
    spec.values = [=](std::int32_t s, std::span<float> ch) {
      const double t = start + s * 0.01;
      const double wave = std::sin(omega * t);
      ch[kChHeight] = static_cast<float>(0.4 + amplitude * wave);
      ch[kChAcceleration] = static_cast<float>(-amplitude * omega * omega * wave + (wave > 0.8 ? 40 * (wave - 0.8) : 0));
      ch[kChPitch] = static_cast<float>(0.06 + 0.02 * amplitude * std::cos(omega * t));
      ch[kChSpeed] = static_cast<float>(45 + 0.5 * std::sin(0.05 * t));
      return t;
    };
    std::string name = "R";
    name += std::to_string(r);
    runs.push_back(demo::WriteSampleRun(dir.path(), name, demo::SampleRunParameters(), spec));
  }
  return runs;
}

// Runs `hulvex ARGS[0] RUN... ARGS[1...]`; returns its output and the seconds it took. Skips the
// benchmark when it fails.
std::pair<std::string, double> RunTool(benchmark::State& state, std::vector<std::string> args) {
  args.insert(args.begin(), "hulvex");
  args.insert(args.begin() + 2, EightRuns().begin(), EightRuns().end());
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::istringstream in;
  std::ostringstream out, err;
  const auto start = std::chrono::steady_clock::now();
  if (cli::RunTool(static_cast<int>(argv.size()), argv.data(), in, out, err) != 0) state.SkipWithError(err.str().c_str());
  return {out.str(), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}
double TimeTool(benchmark::State& state, const std::vector<std::string>& args) { return RunTool(state, args).second; }

// The number after `"key": ` in a JSON text.
std::string JsonNumber(const std::string& text, const std::string& key) {
  const std::size_t at = text.find("\"" + key + "\": ") + key.size() + 4;
  return text.substr(at, text.find_first_of(",\n", at) - at);
}

// Each iteration runs stats and compare (the order alternating) and reports the compare time;
// the counters hold the fastest of each and their ratio (target: at most 1.1).
void BM_CompareEightRunsAgainstStats(benchmark::State& state) {
  // stats over exactly the window compare chooses (the time the runs share, as the step times
  // give it): the ISO 2631-1 transforms have the same lengths, whose factors set their speed.
  const std::vector<std::string> compare{"compare"};
  const std::string json = RunTool(state, {"compare", "--json"}).first;
  const std::vector<std::string> stats{"stats", "--csv", "--from", JsonNumber(json, "From"), "--to", JsonNumber(json, "To")};
  TimeTool(state, stats);  // the file cache and the transforms' plans warm for both
  double fastestStats = 1e300, fastestCompare = 1e300;
  bool statsFirst = true;
  for (auto _ : state) {
    double s = 0, c = 0;
    if (statsFirst) {
      s = TimeTool(state, stats);
      c = TimeTool(state, compare);
    } else {
      c = TimeTool(state, compare);
      s = TimeTool(state, stats);
    }
    statsFirst = !statsFirst;
    fastestStats = std::min(fastestStats, s);
    fastestCompare = std::min(fastestCompare, c);
    state.SetIterationTime(c);
  }
  state.counters["runs"] = kRuns;
  state.counters["stats_ms"] = 1e3 * fastestStats;
  state.counters["compare_ms"] = 1e3 * fastestCompare;
  state.counters["ratio"] = fastestCompare / fastestStats;
}
BENCHMARK(BM_CompareEightRunsAgainstStats)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace hulvex
