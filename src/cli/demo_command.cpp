// make-demo: writes sample runs that open in the viewer.
#include <cmath>
#include <filesystem>
#include <ostream>

#include "cli/cli_support.h"
#include "common/error.h"
#include "testing/boat_writer.h"
#include "testing/run_writers.h"

namespace hulvex::cli {
namespace {

constexpr double kPi = 3.14159265358979323846;

// A 20 s run at 30 knots in a sinusoidal head sea: heave and pitch answer the encounter period.
void WriteSample(const std::string& dir) {
  RunParameters p = testing::SampleRunParameters();
  p.Tmax = 20.0f;
  p.BoatFile = "C:\\HULVEX\\BOATS\\DEMO24.BOT";
  testing::WriteBoatFile(dir + "/DEMO24.BOT", testing::SampleBoat(4));
  testing::HistorySpec h;
  h.LastChannel = 11;
  h.StartTime = 0.0;
  h.EndTime = 20.0;
  h.HeaderText = "SAMPLE RUN";
  const double dt = 0.01;
  h.Steps = static_cast<std::int32_t>(std::lround(20.0 / dt)) + 1;
  const double speed = 30.0 / kFtPerSToKnots;  // ft/s
  const double omega = 2 * kPi / 1.2;         // encounter frequency, rad/s
  h.values = [=](std::int32_t s, std::span<float> ch) {
    const double t = s * dt;
    const double heave = 0.35 * std::sin(omega * t);
    ch[kChHeight] = static_cast<float>(0.6 + heave);
    ch[1] = static_cast<float>(0.35 * omega * std::cos(omega * t));
    ch[kChAcceleration] = static_cast<float>(-omega * omega * heave);
    ch[kChPitch] = static_cast<float>((4.0 + 1.5 * std::sin(omega * t - 0.6)) / kRadToDeg);
    ch[kChDistance] = static_cast<float>(speed * t);
    ch[kChSpeed] = static_cast<float>(speed);
    ch[kChSurfaceGain] = 2000.0f;  // above the threshold: no local surface term
    return t;
  };
  testing::WriteSampleRun(dir, "SAMPLE", p, h,
                          "Sample run: a 30 knot planing boat in a 2 ft sinusoidal head sea.\r\n"
                          "The motion is a demonstration model, not a seakeeping simulation.\r\n");
}

}  // namespace

void RegisterDemoCommand(Tool& tool) {
  auto dir = std::make_shared<std::string>();
  CLI::App* cmd = AddCommand(tool, "make-demo", "Write sample runs into DIR", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics&) {
      std::error_code ec;
      std::filesystem::create_directories(*dir, ec);
      if (ec) throw Error("Cannot create directory " + *dir + ": " + ec.message());
      WriteSample(*dir);
      out << "wrote " << *dir << "/SAMPLE\n";
      return 0;
    });
  });
  cmd->add_option("DIR", *dir, "Directory to write the runs into")->required();
}

}  // namespace hulvex::cli
