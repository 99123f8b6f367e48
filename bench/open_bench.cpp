// Opening a whole run as the viewer does (parameters, boat, hull, sea, stations, and the history
// read once for the step times, the camera track and the four default plots), what the open run
// holds in memory per step, and the open against two references measured in the same run: touching
// every page of the ".TTS" file once, and a NumPy memory-mapped reader extracting the step times
// and channels 6 and 7.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/file_lookup.h"
#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "run/channel_series.h"
#include "run/loaded_run.h"
#include "support/file_edit.h"

namespace hulvex {
namespace {

using Clock = std::chrono::steady_clock;

// Wall and CPU milliseconds of one measurement. The machine is shared: the wall time also holds
// the waits for a core, so both are reported.
struct Cost {
  double wall = 0, cpu = 0;
};

double CpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

template <typename Work>
Cost Measure(Work work) {
  const auto wall = Clock::now();
  const double cpu = CpuMs();
  work();
  return {std::chrono::duration<double, std::milli>(Clock::now() - wall).count(), CpuMs() - cpu};
}

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

// The viewer's open with its four default plots; the bytes it holds per step.
Cost OpenAsTheViewer(const std::string& path, double* heldPerStep = nullptr) {
  NullDiagnostics diag;
  LoadedRun run;
  run.DataDir = DirectoryOf(path);
  run.HeldChannels.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());
  const Cost cost = Measure([&] {
    if (OpenRun(run, path, diag) != RunOpenResult::Loaded) throw std::runtime_error("open failed: " + path);
  });
  benchmark::DoNotOptimize(run.SmoothTrack.data());
  if (heldPerStep) *heldPerStep = HeldBytesPerStep(run);
  return cost;
}

// `hulvex open RUN` in its own process, as it reports itself: TotalMs and TotalCpuMs.
Cost HulvexOpen(const std::string& path) {
  FILE* pipe = ::popen((std::string(HULVEX_CLI) + " open '" + path + "' 2>/dev/null").c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " HULVEX_CLI);
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  ::pclose(pipe);
  auto number = [&](const std::string& key) {
    const auto at = out.find("\"" + key + "\": ");
    if (at == std::string::npos) throw std::runtime_error("hulvex open printed no " + key);
    return std::strtod(out.c_str() + at + key.size() + 4, nullptr);
  };
  return {number("TotalMs"), number("TotalCpuMs")};
}

// Maps the file and reads one byte of every 4 KiB page.
Cost TouchEveryPage(const std::string& file) {
  return Measure([&] {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + file);
  const auto size = static_cast<std::size_t>(::lseek(fd, 0, SEEK_END));
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  ::close(fd);
  if (map == MAP_FAILED) throw std::runtime_error("cannot map " + file);
  const auto* bytes = static_cast<const volatile unsigned char*>(map);
  unsigned sum = 0;
  for (std::size_t at = 0; at < size; at += 4096) sum += bytes[at];
  benchmark::DoNotOptimize(sum);
  ::munmap(map, size);
  });
}

// Reads every byte of the file sequentially (1 MiB reads into one buffer).
Cost ReadEveryByte(const std::string& file) {
  return Measure([&] {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + file);
  std::vector<char> buffer(1 << 20);
  std::size_t total = 0;
  for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::size_t>(n);
  ::close(fd);
  benchmark::DoNotOptimize(total);
  });
}

// A NumPy reader of the kind users write: a structured memmap of the steps, copying out the step
// times and channels 6 and 7. Prints the wall and CPU milliseconds of each of `reps` extractions.
const char* const kNumpyReader = R"(
import sys, time, numpy as np
path, reps = sys.argv[1], int(sys.argv[2])
for _ in range(reps):
    t0, c0 = time.perf_counter(), time.process_time()
    head = np.fromfile(path, dtype=np.uint8, count=64)
    last_channel = int(head[2:4].view('<i2')[0]); last_step = int(head[52:56].view('<i4')[0])
    step = np.dtype({'names': ['t', 'c6', 'c7'], 'formats': ['<f8', '<f4', '<f4'],
                     'offsets': [4, 36, 40], 'itemsize': 64 * ((last_channel + 4) // 16 + 1)})
    steps = np.memmap(path, dtype=step, mode='r', offset=64, shape=(last_step + 1,))
    t, c6, c7 = np.array(steps['t']), np.array(steps['c6']), np.array(steps['c7'])
    ms, cpu = (time.perf_counter() - t0) * 1000, (time.process_time() - c0) * 1000
    del steps
    print(ms, cpu, t[-1], c6[-1], c7[-1])
)";

// The first Python 3 that has NumPy (Debian's python3-numpy, or one on the PATH), or nothing.
std::optional<std::string> PythonWithNumpy() {
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    const std::string probe = std::string(python) + " -c 'import numpy' >/dev/null 2>&1";
    if (std::system(probe.c_str()) == 0) return std::string(python);
  }
  return std::nullopt;
}

// The cost of each NumPy extraction, run in one Python process (its start-up not counted).
std::vector<Cost> NumpyExtractions(const std::string& python, const std::string& file, int reps) {
  test_support::TempDir dir;
  demo::WriteTextFile(dir / "reader.py", kNumpyReader);
  const std::string command = python + " " + dir / "reader.py" + " '" + file + "' " + std::to_string(reps);
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return {};
  std::vector<Cost> costs;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char* end = nullptr;
    const double wall = std::strtod(line, &end);
    costs.push_back({wall, std::strtod(end, nullptr)});
  }
  ::pclose(pipe);
  return costs;
}

// The medians of the wall and of the CPU times.
Cost Median(std::vector<Cost> v) {
  if (v.empty()) return {NAN, NAN};
  auto middle = [&](auto key) {
    std::sort(v.begin(), v.end(), [&](const Cost& a, const Cost& b) { return key(a) < key(b); });
    return key(v[v.size() / 2]);
  };
  return {middle([](const Cost& c) { return c.wall; }), middle([](const Cost& c) { return c.cpu; })};
}

void BM_OpenRun(benchmark::State& state) {
  const std::string& path = LongRun(static_cast<std::int32_t>(state.range(0)), static_cast<std::int16_t>(state.range(1)));
  double held = 0;
  for (auto _ : state) OpenAsTheViewer(path, &held);
  state.counters["held_bytes_per_step"] = held;
  // The process's peak resident set so far (it grows with the largest run opened).
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_OpenRun)
    ->ArgsProduct({{10'000, 100'000, 1'000'000}, {11, 40}})
    ->Unit(benchmark::kMillisecond);

// The open of the 1 000 000-step run (LastChannel 11) and its references, interleaved in the
// same iterations; the figures are medians, wall (ms) and CPU (cpu_ms). Targets: `hulvex open`
// at most 2 x the page touch and at most 1/2 the NumPy reader. read_all (every byte read once
// with read()) is a further reference: the open must read every byte.
void BM_OpenAgainstReferences(benchmark::State& state) {
  const std::string& path = LongRun(1'000'000, 11);
  const std::string tts = path + ".TTS";
  std::vector<Cost> open, cli, touch, readAll;
  double held = 0;
  for (auto _ : state) {
    touch.push_back(TouchEveryPage(tts));
    readAll.push_back(ReadEveryByte(tts));
    open.push_back(OpenAsTheViewer(path, &held));
    cli.push_back(HulvexOpen(path));
  }
  auto report = [&](const std::string& name, const Cost& c) {
    state.counters[name + "_ms"] = c.wall;
    state.counters[name + "_cpu_ms"] = c.cpu;
  };
  const Cost cliCost = Median(cli), touchCost = Median(touch);
  report("hulvex_open", cliCost);
  report("in_process_open", Median(open));
  report("page_touch", touchCost);
  report("read_all", Median(readAll));
  state.counters["open_per_page_touch"] = cliCost.wall / touchCost.wall;
  state.counters["open_per_page_touch_cpu"] = cliCost.cpu / touchCost.cpu;
  state.counters["held_bytes_per_step"] = held;
  if (const auto python = PythonWithNumpy()) {
    const Cost numpy = Median(NumpyExtractions(*python, tts, static_cast<int>(state.iterations())));
    report("numpy", numpy);
    state.counters["open_per_numpy"] = cliCost.wall / numpy.wall;
    state.counters["open_per_numpy_cpu"] = cliCost.cpu / numpy.cpu;
  } else {
    state.SetLabel("no Python with NumPy: install python3-numpy for the NumPy reference");
  }
}
BENCHMARK(BM_OpenAgainstReferences)->Iterations(15)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace hulvex
