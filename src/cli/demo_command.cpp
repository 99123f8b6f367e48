// make-demo: writes the demonstration runs, each complete with its boat and spline files; with
// --growing, one of them with its time history written step by step, as a simulator writes it.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <ostream>
#include <thread>

#include "cli/cli_support.h"
#include "common/error.h"
#include "common/number_format.h"
#include "demo/demo_runs.h"
#include "demo/run_writers.h"

namespace hulvex::cli {
namespace {

struct DemoRequest {
  std::string Dir;
  std::string Growing;  // the case written step by step; empty: every case at once
  double Rate = 100.0;  // steps a second
};

// Writes the case's files, then its history at `rate` steps a second (the header, LastStep
// included, first), each second's steps appended in a few pieces on a fixed clock.
int WriteGrowing(const DemoRequest& req, std::ostream& out) {
  const std::vector<demo::DemoCase> cases = demo::DemoCases();
  const demo::DemoCase* demo = demo::FindDemoCase(cases, req.Growing);
  if (!demo) {
    std::string names;
    for (const demo::DemoCase& c : cases) names += (names.empty() ? "" : ", ") + c.Name;
    throw Error("No demonstration run " + req.Growing + ": the runs are " + names);
  }
  std::error_code ec;
  std::filesystem::create_directories(req.Dir, ec);
  if (ec) throw Error("Cannot create directory " + req.Dir + ": " + ec.message());
  const demo::GrowingDemoRun run = demo::PrepareGrowingDemoRun(req.Dir, *demo);
  demo::GrowingHistoryWriter writer(run.RunPath + ".TTS", run.History);
  out << "writing " << run.RunPath << ".HVX: " << run.History.Steps << " steps at " << FormatSignificant(req.Rate, 6)
      << " steps/s\n";
  out.flush();
  // At most 20 appends a second; step k is due at k / rate seconds.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const double piece = std::max(1.0, req.Rate / 20.0);
  while (!writer.Done()) {
    const double due = (writer.Written() + piece) / req.Rate;
    std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(due)));
    const auto target = static_cast<std::int32_t>(std::floor((std::chrono::duration<double>(Clock::now() - start).count()) * req.Rate));
    writer.Append(std::max<std::int32_t>(1, target - writer.Written()));
  }
  out << "wrote " << run.RunPath << ".HVX\n";
  return 0;
}

}  // namespace

void RegisterDemoCommand(Tool& tool) {
  auto req = std::make_shared<DemoRequest>();
  CLI::App* cmd = AddCommand(tool, "make-demo", "Write the demonstration runs into DIR", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics&) {
      if (!req->Growing.empty()) return WriteGrowing(*req, out);
      for (const std::string& runPath : demo::WriteDemoRuns(req->Dir)) out << "wrote " << runPath << ".HVX\n";
      return 0;
    });
  });
  cmd->add_option("DIR", req->Dir, "Directory to write the runs into (created if missing)")->required();
  CLI::Option* growing = cmd->add_option(
      "--growing", req->Growing,
      "Write only the demonstration run RUN (DV30HEAD, RK40FOLL, ...), its time history step by step as a running "
      "simulation writes it (the header with its LastStep first), to try following a run");
  cmd->add_option("--rate", req->Rate, "Steps written a second with --growing (default 100)")
      ->needs(growing)
      ->check(CLI::PositiveNumber);
}

}  // namespace hulvex::cli
