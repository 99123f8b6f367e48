// `hulvex spectrum` of a 1 000 000-step run in a random sea of 40 components (channels 0, 3 and 2,
// the wave at the centre of gravity and three transfer functions), against the same computation
// in NumPy/SciPy (the wave as numpy.sin sums, scipy.signal.welch and csd) on the same data,
// measured in the same run. The figures are medians of wall milliseconds; target: spectrum_per_scipy
// at most 1. wave_m0_relative_difference compares the two wave spectra's m0.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/cli_support.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "run/channel_series.h"
#include "run/loaded_run.h"
#include "runfiles/channel_vocabulary.h"
#include "support/file_edit.h"

namespace hulvex {
namespace {

constexpr std::int32_t kSteps = 1'000'000;
constexpr double kDt = 0.005;
constexpr int kChannels[] = {kChHeight, kChPitch, kChAcceleration};

// The run, written once per process, and the arrays the reference reads (raw little-endian
// doubles: step times, channel 6 as stored, channels 0, 3, 2 in display units) with the sea's
// constants in "sea.txt".
struct Data {
  test_support::TempDir dir;
  std::string run;
  Data() {
    RunParameters p = demo::SampleRunParameters();
    p.BoatFile = "C:\\BOATS\\B.BOT";
    p.Waves = 0;
    p.RWvN = 40;
    p.WvHHS = 3;
    p.WvSteep = 1.0f / 25;
    demo::WriteBoatFile(dir / "B.BOT", demo::SampleBoat(4));
    demo::HistorySpec spec;
    spec.Steps = kSteps;
    spec.EndTime = (kSteps - 1) * kDt;
    spec.values = demo::SteadyPlaning(kDt, 45.0, 1.4);
    run = demo::WriteSampleRun(dir.path(), "RANDOM40", p, spec);

    NullDiagnostics diag;
    LoadedRun loaded;
    loaded.DataDir = dir.path();
    loaded.HeldChannels = {kChHeight, kChAcceleration, kChPitch, kChDistance};
    if (OpenRun(loaded, run, diag) != RunOpenResult::Loaded) throw std::runtime_error("open failed: " + run);
    auto write = [&](const std::string& name, const std::vector<double>& values) {
      std::ofstream(dir / name, std::ios::binary)
          .write(reinterpret_cast<const char*>(values.data()), static_cast<std::streamsize>(values.size() * sizeof(double)));
    };
    write("t.bin", loaded.History.StepTimes);
    for (const ChannelSeries& s : loaded.Series) {
      const double factor = s.Channel == kChDistance ? 1.0 : DisplayFactorOf(s.Channel);
      std::vector<double> v;
      for (float x : s.Values) v.push_back(static_cast<double>(x) * factor);
      write("ch" + std::to_string(s.Channel) + ".bin", v);
    }
    const SeaConstants& sea = loaded.Sea;
    std::ofstream text(dir / "sea.txt");
    text.precision(17);
    text << sea.CompAmp << ' ' << sea.RWvTdelay << ' ' << sea.DirSign << ' ' << loaded.Hull.PB.LCG << '\n';
    for (int n = 0; n < sea.CompCount; ++n) text << sea.CompOmega[static_cast<std::size_t>(n)] << ' ' << sea.CompK[static_cast<std::size_t>(n)] << '\n';
  }
};
const Data& TheData() {
  static const Data data;
  return data;
}

// The same computation in NumPy/SciPy; prints the wall milliseconds of each repetition and the
// wave's m0.
const char* const kScipyReference = R"(
import sys, time, numpy as np
from scipy import signal
d, reps = sys.argv[1], int(sys.argv[2])
rows = [list(map(float, l.split())) for l in open(d + '/sea.txt')]
amp, delay, sign, lcg = rows[0]
comps = rows[1:]
t = np.fromfile(d + '/t.bin'); x6 = np.fromfile(d + '/ch6.bin')
chans = [np.fromfile(d + '/ch%d.bin' % c) for c in (0, 3, 2)]
n = len(t)
L = min(16384, max(64, 1 << ((n // 8).bit_length() - 1)))
for _ in range(reps):
    t0 = time.perf_counter()
    tt = t + delay; dd = (x6 - lcg) * sign
    eta = np.zeros(n)
    for w, k in comps:
        eta += amp * np.sin(w * tt + k * dd)
    fs = (n - 1) / (t[-1] - t[0])
    f, pee = signal.welch(eta, fs, window='hann', nperseg=L, noverlap=L // 2, detrend='constant', scaling='density')
    out = []
    for x in chans:
        out.append(signal.welch(x, fs, window='hann', nperseg=L, noverlap=L // 2, detrend='constant', scaling='density')[1])
        out.append(signal.csd(eta, x, fs, window='hann', nperseg=L, noverlap=L // 2, detrend='constant', scaling='density')[1])
    ms = (time.perf_counter() - t0) * 1000
    print(ms, np.sum(pee) * fs / L)
)";

std::optional<std::string> PythonWithScipy() {
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    const std::string probe = std::string(python) + " -c 'import numpy, scipy.signal' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return std::string(python);
  }
  return std::nullopt;
}

double Median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void BM_SpectrumAgainstScipy(benchmark::State& state) {
  const Data& data = TheData();
  const std::vector<std::string> args{"hulvex", "spectrum", data.run + ".HVX"};
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::vector<double> wall;
  double waveM0 = NAN;
  for (auto _ : state) {
    std::istringstream in;
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    if (cli::RunTool(static_cast<int>(argv.size()), argv.data(), in, out, err) != 0) state.SkipWithError(err.str().c_str());
    wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    const nlohmann::json j = nlohmann::json::parse(out.str());
    if (j["Wave"].is_null()) state.SkipWithError("no wave");
    else waveM0 = j["Wave"]["M0"].get<double>();
  }
  const double ours = Median(wall);
  state.counters["hulvex_spectrum_ms"] = ours;
  const auto python = PythonWithScipy();
  if (!python) {
    state.SkipWithError("no Python 3 with NumPy and SciPy (Debian: python3-scipy)");
    return;
  }
  demo::WriteTextFile(data.dir / "reference.py", kScipyReference);
  const std::string command = *python + " " + data.dir / "reference.py" + " '" + data.dir.path() + "' " +
                              std::to_string(state.iterations());
  FILE* pipe = ::popen(command.c_str(), "r");
  std::vector<double> reference;
  double referenceM0 = NAN;
  char line[512];
  while (pipe && std::fgets(line, sizeof line, pipe)) {
    char* end = nullptr;
    reference.push_back(std::strtod(line, &end));
    referenceM0 = std::strtod(end, nullptr);
  }
  if (pipe) ::pclose(pipe);
  const double scipy = Median(reference);
  state.counters["scipy_ms"] = scipy;
  state.counters["spectrum_per_scipy"] = ours / scipy;
  state.counters["wave_m0_relative_difference"] = std::abs(waveM0 - referenceM0) / referenceM0;
}
BENCHMARK(BM_SpectrumAgainstScipy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
}  // namespace hulvex

BENCHMARK_MAIN();
