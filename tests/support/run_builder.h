// The one builder of complete runs for tests: run parameters, a boat file beside the run, the
// time history and the case description, each with a default a test overrides.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <optional>
#include <string>

#include "demo/boat_writer.h"
#include "demo/run_writers.h"
#include "support/file_edit.h"

namespace hulvex::test_support {

struct RunBuilder {
  std::string Name = "RUN";
  RunParameters Params = demo::SampleRunParameters();
  std::optional<BoatRecord> Boat;  // written as BoatFileName beside the run, named by Params.BoatFile
  std::string BoatFileName = "B.BOT";
  demo::HistorySpec History;
  std::string Description = "Sample run.\r\n";

  static RunBuilder Named(std::string name, std::string description = "Sample run.\r\n") {
    RunBuilder run;
    run.Name = std::move(name);
    run.Description = std::move(description);
    return run;
  }

  // `steps` steps `dt` apart (EndTime the last step's time), values as History.values gives them.
  RunBuilder& Steps(std::int32_t steps, double dt = 0.01) {
    History.Steps = steps;
    History.EndTime = (steps - 1) * dt;
    return *this;
  }
  // The writers' sample boat of `hullType` beside the run.
  RunBuilder& SampleBoat(int hullType, std::string fileName = "B.BOT") {
    Boat = demo::SampleBoat(hullType);
    BoatFileName = std::move(fileName);
    return *this;
  }

  // Writes the run into `dir`; returns its path without extension.
  std::string Write(const std::string& dir) {
    if (Boat) {
      Params.BoatFile = "C:\\BOATS\\" + BoatFileName;
      demo::WriteBoatFile(dir + "/" + BoatFileName, *Boat);
    }
    return demo::WriteSampleRun(dir, Name, Params, History, Description);
  }
  std::string Write(const TempDir& dir) { return Write(dir.path()); }
};

// A run `name` of `steps` steps 0.01 s apart in the sample run's random sea, with the sample type-4
// boat beside it as B4.BOT: heave of amplitude `heave` ft at 0.65 Hz, pitch, and slams at 1.7 Hz
// whose heights swell and fade (peaks of many heights).
inline std::string WriteSlammingRun(const std::string& dir, const std::string& name, std::int32_t steps, double heave = 0.1) {
  auto run = RunBuilder::Named(name, "Case " + name + "\r\n");
  run.SampleBoat(4, "B4.BOT").Steps(steps, 0.01).History.values = [heave](std::int32_t s, std::span<float> ch) {
    const double t = s * 0.01;
    ch[kChHeight] = static_cast<float>(0.4 + heave * std::sin(4.1 * t) + 0.02 * std::sin(23 * t));
    ch[kChPitch] = static_cast<float>(0.05 * std::cos(4.1 * t + 0.3));
    ch[kChAcceleration] = static_cast<float>((0.5 + 0.4 * std::sin(0.9 * t)) * std::sin(10.68 * t) * 32.18);
    ch[kChDistance] = static_cast<float>(50 * t);
    ch[kChSpeed] = 50.0f;
    return t;
  };
  return run.Write(dir);
}

}  // namespace hulvex::test_support
