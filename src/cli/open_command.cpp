// open: the viewer's whole open sequence without the windows, timed step by step.
#include <sys/resource.h>

#include <chrono>
#include <ostream>
#include <utility>
#include <vector>

#include "cli/cli_support.h"
#include "common/file_lookup.h"
#include "video/video_player.h"

namespace hulvex::cli {
namespace {

class StepClock : public OpenObserver {
public:
  using Clock = std::chrono::steady_clock;
  StepClock() : start_(Clock::now()), last_(start_) {}
  void StepDone(const char* step) override {
    const auto now = Clock::now();
    steps_.emplace_back(step, std::chrono::duration<double, std::milli>(now - last_).count());
    last_ = now;
  }
  double TotalMs() const { return std::chrono::duration<double, std::milli>(last_ - start_).count(); }
  const std::vector<std::pair<std::string, double>>& steps() const { return steps_; }

private:
  Clock::time_point start_, last_;
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
  StepClock clock;
  const RunOpenResult result = OpenRun(run, RunPathOf(given), diag, &clock);
  std::vector<float> track;
  if (result == RunOpenResult::Loaded) {
    // The camera track, as the video builds it when a run is opened.
    track = BuildHistoryTrack(run.History, diag);
    clock.StepDone("BuildSmoothTrack");
  }
  const std::size_t held = run.History.StepTimes.capacity() * sizeof(double) + track.capacity() * sizeof(float);
  const std::int64_t steps = run.History.StepCount();

  JsonWriter j;
  j.BeginObject();
  j.Key("RunPath").String(run.RunPath);
  j.Key("Loaded").Bool(result == RunOpenResult::Loaded);
  j.Key("Drawable").Bool(run.Hull.Drawable);
  j.Key("StepsMs").BeginObject();
  for (const auto& [name, ms] : clock.steps()) j.Key(name).Number(ms);
  j.EndObject();
  j.Key("TotalMs").Number(clock.TotalMs());
  j.Key("StepsIndexed").Integer(steps);
  j.Key("HeldBytes").Integer(static_cast<std::int64_t>(held + sizeof(LoadedRun)));
  j.Key("HeldBytesPerStep").Number(steps > 0 ? static_cast<double>(held) / static_cast<double>(steps) : 0.0);
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
