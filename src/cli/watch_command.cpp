// watch: follows a run while the simulator writes it, one JSON line per growth.
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <limits>
#include <memory>
#include <ostream>
#include <thread>

#include "cli/cli_support.h"
#include "common/error.h"
#include "common/file_lookup.h"
#include "report/report_support.h"
#include "report/statistics_report.h"
#include "run/followed_run.h"

namespace hulvex::cli {
namespace {

struct WatchRequest {
  std::string Run;
  double Interval = 1.0;  // s between looks at the file
  double Idle = 60.0;     // s without growth that end the watch
};

// Set by Ctrl+C (SIGINT) while a watch runs: the watch ends at its next look, with status 0.
std::atomic<bool> interrupted{false};
extern "C" void OnInterrupt(int) { interrupted.store(true); }

// SIGINT handled by OnInterrupt for the object's life, the previous handling restored after.
class InterruptScope {
public:
  InterruptScope() {
    interrupted = false;
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptScope() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

private:
  void (*previous_)(int) = SIG_DFL;
};

// The line of the run's steps so far: {"Steps": N, "LastTime": T, "Channels": [...]}, the
// Channels those of `hulvex stats` over every step.
std::string GrowthLine(const std::shared_ptr<LoadedRun>& run, const std::string& given) {
  OpenedRun opened;
  opened.Run = given;
  opened.Loaded = run;
  StatisticsRequest request{-std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                            DefaultStatisticsChannels()};
  const RunStatistics stats = StatisticsOfOpenedRun(opened, request);
  if (!stats.Figures) throw Error(stats.Error);
  JsonWriter j(true);
  j.BeginObject();
  j.Key("Steps").Integer(run->History.StepCount());
  j.Key("LastTime").Number(run->History.StepTimes.back());
  j.Key("Channels");
  WriteChannelsJson(j, *stats.Figures);
  j.EndObject();
  return j.str();
}

// Opens the run with Follow; false while its history is not there, shorter than its header or
// holds no step yet.
bool OpenFollowed(LoadedRun& run, const std::string& given, Diagnostics& diag) {
  // Until the first step is there, the open's refusal is the normal state: its message is kept back.
  CollectingDiagnostics opening;
  try {
    OpenRunForWindow(run, given, DefaultStatisticsChannels(), {kChHeight, kChAcceleration, kChPitch}, opening, true);
  } catch (const Error&) {
    const std::string kind = opening.diagnostics.empty() ? "" : opening.diagnostics.back().Kind;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(SiblingPath(RunPathOf(given), ".TTS"), ec);
    const bool waiting = kind == "history-empty" || kind == "history-missing" ||
                         (!ec && size < time_history_layout::kRecordSize);
    if (waiting) return false;
    for (const Diagnostic& d : opening.diagnostics) diag.Report(d);
    throw;
  }
  for (const Diagnostic& d : opening.diagnostics) diag.Report(d);
  return true;
}

int Watch(const WatchRequest& req, std::ostream& out, Diagnostics& diag) {
  using Clock = std::chrono::steady_clock;
  const InterruptScope interrupts;
  auto run = std::make_shared<LoadedRun>();
  bool open = false;
  Clock::time_point lastGrowth = Clock::now();
  auto report = [&] {
    out << GrowthLine(run, req.Run);  // one line, ending with its newline
    out.flush();
    lastGrowth = Clock::now();
  };
  const auto interval = std::chrono::duration<double>(req.Interval);
  const auto idle = std::chrono::duration<double>(req.Idle);
  for (;;) {
    if (!open) {
      open = OpenFollowed(*run, req.Run, diag);
      if (open) report();
    } else {
      const HistoryExtension grown = ExtendRun(*run, diag);
      if (grown.Growth == HistoryGrowth::Grew) {
        report();
      } else if (grown.Growth == HistoryGrowth::Changed) {
        diag.Message("watch-reopened", run->RunPath + ".TTS changed (" + grown.Reason + "): read anew");
        open = OpenFollowed(*run, req.Run, diag);
        if (open) report();
      }
    }
    // Waits for the next look in short sleeps, so that Ctrl+C ends the watch at once.
    const Clock::time_point next = Clock::now() + std::chrono::duration_cast<Clock::duration>(interval);
    while (Clock::now() < next && !interrupted) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (interrupted || Clock::now() - lastGrowth >= idle) return 0;
  }
}

}  // namespace

void RegisterWatchCommand(Tool& tool) {
  auto req = std::make_shared<WatchRequest>();
  CLI::App* cmd = AddCommand(tool, "watch", "Follow a run while it is written: one JSON line per growth", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics& d) { return Watch(*req, out, d); });
  });
  cmd->add_option("RUN", req->Run, "The run's .HVX file, or its path without extension")->required();
  cmd->add_option("--interval", req->Interval, "Seconds between looks at the file (default 1)")
      ->check(CLI::PositiveNumber);
  cmd->add_option("--idle", req->Idle, "End when the file has not grown for this many seconds (default 60)")
      ->check(CLI::NonNegativeNumber);
}

}  // namespace hulvex::cli
