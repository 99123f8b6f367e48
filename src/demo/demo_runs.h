// The demonstration runs: complete runs of real-sized planing boats in every sea kind, with a
// motion that follows the sea surface under the hull. Written by `hulvex make-demo` and
// `make demo`; the motion comes from a simple demonstration model, not from a seakeeping
// simulation.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "hull/boat_record.h"
#include "runfiles/run_parameters.h"
#include "demo/run_writers.h"
#include "demo/spline_writer.h"

namespace hulvex::demo {

// One demonstration run: what is written besides the time history.
struct DemoCase {
  std::string Name;      // the run's name: Name + ".HVX", ".TTS", ".TXT"
  std::string Summary;   // what the case is, in plain words (the first paragraph of the ".TXT")
  std::string BoatFileName;           // written beside the run; Params.BoatFile ends in it
  BoatRecord Boat;                    // as written
  std::optional<SplineTable> Spline;  // the boat's spline data file, named by Boat.BoatName
  RunParameters Params;               // as written; ICZG and ICT are set from the motion
  double Dt = 0.01;                   // s, time step of the stored history
};

// The seven cases: an analytic deadrise hull in a sinusoidal head sea (thrust specified), a
// rockered analytic hull in a random following sea, a deadrise hull with a slope-factor file in a
// random head sea, a plain-chine spline hull in a Stokes sea, an inner-chine spline hull in a
// Gerstner sea, a chine-angle spline hull accelerating on a flat sea (speed specified), and a
// constant-section hull in a sinusoidal sea.
std::vector<DemoCase> DemoCases();

// Writes the case completely into `dir` (which must exist): boat file, spline file, ".HVX",
// ".TXT" and the ".TTS" whose heave, pitch, speed and distance come from the demonstration
// model. Channel 2 is the second difference of the stored channel 0 (the neighbouring value at
// the first and last step), channel 6 the trapezoid integral of the stored channel 7, channel 8
// is 2000 (no local surface term), channels 1, 4, 5, 9, 10 and 11 are 0. Returns the run's path
// without extension. Throws Error when a file cannot be written, or when the written run does
// not open without a message with a drawable hull.
std::string WriteDemoRun(const std::string& dir, const DemoCase& demo);

// A demonstration run whose time history is still to be written.
struct GrowingDemoRun {
  std::string RunPath;  // without extension
  HistorySpec History;  // what WriteDemoRun writes as its ".TTS", LastStep included
};

// Writes every file of the case into `dir` but its time history, which is left one placeholder
// step long, and returns the history WriteDemoRun would write, for writing it step by step
// (GrowingHistoryWriter; `hulvex make-demo --growing`). Throws Error as WriteDemoRun does.
GrowingDemoRun PrepareGrowingDemoRun(const std::string& dir, const DemoCase& demo);

// The case named `name` in `cases`, or nullptr.
const DemoCase* FindDemoCase(const std::vector<DemoCase>& cases, const std::string& name);

// Creates `dir` if needed and writes every case into it. Returns the run paths, in case order.
std::vector<std::string> WriteDemoRuns(const std::string& dir);

}  // namespace hulvex::demo
