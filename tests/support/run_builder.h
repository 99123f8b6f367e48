// The one builder of complete runs for tests: run parameters, a boat file beside the run, the
// time history and the case description, each with a default a test overrides.
#pragma once

#include <cstdint>
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

}  // namespace hulvex::test_support
