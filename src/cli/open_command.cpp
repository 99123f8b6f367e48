// open: the viewer's whole open sequence without the windows, timed step by step, with how much
// of the history it read and what it holds per step.
#include <sys/resource.h>

#include <chrono>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/cli_support.h"
#include "common/file_lookup.h"
#include "run/channel_series.h"

namespace hulvex::cli {
namespace {

// CPU time of the process so far, ms (user and system).
double CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

class StepClock : public OpenObserver {
public:
  using Clock = std::chrono::steady_clock;
  StepClock() : start_(Clock::now()), last_(start_), startCpu_(CpuMs()), lastCpu_(startCpu_) {}
  void StepDone(const char* step) override {
    const auto now = Clock::now();
    steps_.emplace_back(step, std::chrono::duration<double, std::milli>(now - last_).count());
    last_ = now;
    lastCpu_ = CpuMs();
  }
  double TotalMs() const { return std::chrono::duration<double, std::milli>(last_ - start_).count(); }
  // The CPU time of the same span: on a busy machine the wall time also holds the waits for a core.
  double TotalCpuMs() const { return lastCpu_ - startCpu_; }
  const std::vector<std::pair<std::string, double>>& steps() const { return steps_; }

private:
  Clock::time_point start_, last_;
  double startCpu_, lastCpu_;
  std::vector<std::pair<std::string, double>> steps_;
};

long PeakResidentKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Open(const std::string& given, const std::string& dataDir, std::ostream& out, Diagnostics& diag) {
  LoadedRun run;
  SetDataDirectories(run, dataDir);
  // The viewer's open: the default plots are read with the step times and the camera track.
  run.HeldChannels.assign(kDefaultPlotChannels.begin(), kDefaultPlotChannels.end());
  StepClock clock;
  const RunOpenResult result = OpenRun(run, RunPathOf(given), diag, &clock);
  const std::int64_t steps = run.History.StepCount();
  const double perStep = HeldBytesPerStep(run);
  const std::uint64_t fileBytes = run.History.File.size();
  const std::uint64_t bytesRead = run.History.File.BytesRead();

  JsonWriter j;
  j.BeginObject();
  j.Key("RunPath").String(run.RunPath);
  j.Key("Loaded").Bool(result == RunOpenResult::Loaded);
  j.Key("Drawable").Bool(run.Hull.Drawable);
  j.Key("StepsMs").BeginObject();
  for (const auto& [name, ms] : clock.steps()) j.Key(name).Number(ms);
  j.EndObject();
  j.Key("TotalMs").Number(clock.TotalMs());
  j.Key("TotalCpuMs").Number(clock.TotalCpuMs());
  j.Key("StepsIndexed").Integer(steps);
  // How much of the history the open read: 1 is a single pass over the file.
  j.Key("HistoryFileBytes").Integer(static_cast<std::int64_t>(fileBytes));
  j.Key("HistoryBytesRead").Integer(static_cast<std::int64_t>(bytesRead));
  j.Key("HistoryPasses").Number(HistoryPasses(run.History));
  j.Key("HeldChannels").BeginArray();
  for (const ChannelSeries& s : run.Series) j.Integer(s.Channel);
  j.EndArray();
  j.Key("MissingChannels").BeginArray();
  for (int c : MissingChannels(run)) j.Integer(c);
  j.EndArray();
  // Step times (8), camera track (4) and 4 for each held channel.
  j.Key("HeldBytesPerStep").Number(perStep);
  j.Key("HeldBytes").Integer(static_cast<std::int64_t>(perStep * static_cast<double>(steps)) +
                             static_cast<std::int64_t>(sizeof(LoadedRun)));
  j.Key("PeakResidentKiB").Integer(PeakResidentKiB());
  j.EndObject();
  out << j.str();
  return result == RunOpenResult::Loaded ? 0 : 1;
}

}  // namespace

void RegisterOpenCommand(Tool& tool) {
  auto run = std::make_shared<std::string>();
  auto dataDir = std::make_shared<std::string>();
  CLI::App* cmd = AddCommand(tool, "open", "The viewer's open sequence, timed step by step, as JSON", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Open(*run, *dataDir, out, d); });
  });
  cmd->add_option("RUN", *run, "The run's .HVX file, or its path without extension")->required();
  cmd->add_option("--data-dir", *dataDir, "Where boat and spline files are looked for after the run's directory");
}

}  // namespace hulvex::cli
