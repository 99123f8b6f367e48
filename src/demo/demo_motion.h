// The demonstration motion model.
//
// At every instant the hull is given a target position: its keel aligned with the least-squares
// line of the sea surface over the wetted afterbody, at a planing trim that depends on the speed,
// with the transom keel immersed by the draft that goes with that trim and wetted length. Heave
// and pitch follow their targets as damped second-order responses; the speed follows the run's
// schedule (exactly when it is specified, otherwise through a lag) and surges with the pitch.
#pragma once

#include <cstdint>
#include <vector>

#include "common/diagnostics.h"
#include "demo/run_writers.h"
#include "run/loaded_run.h"
#include "runfiles/run_parameters.h"
#include "sea/sea_constants.h"

namespace hulvex::demo {

struct ModelBoat {
  double Length = 0;        // ft
  double Beam = 0;          // ft
  double LCG = 0;           // ft aft of the bow origin
  double CgBelowDatum = 0;  // ft
  double TransomKeelZ = 0;  // keel depth below the datum at the transom, ft
  double Omega = 0;         // rad/s, natural frequency of heave and pitch
};

// The model's boat of an open run: its dimensions as the viewer prepared them, and a natural
// period of 1.2 s (20 ft) to 1.6 s (50 ft).
ModelBoat ModelBoatOf(const LoadedRun& run);

// The motion at steps 0 ... steps - 1, dt apart: heave (ft), pitch (rad), distance (the trapezoid
// integral of the stored speeds, ft) and speed (ft/s).
struct Motion {
  std::vector<float> Zcg, Theta, Distance, Speed;
};

// Runs the model over the run's schedule in `sea`. The sea's messages go to `diag`.
Motion RunModel(const ModelBoat& b, const RunParameters& p, const SeaConstants& sea, double dt, std::int32_t steps,
                Diagnostics& diag);

// The time history of a motion (see WriteDemoRun for its channels).
HistorySpec HistoryOf(const Motion& m, double dt);

}  // namespace hulvex::demo
