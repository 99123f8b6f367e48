// A run followed while the simulator writes it: adding the steps written since the last look.
#pragma once

#include "common/diagnostics.h"
#include "run/loaded_run.h"

namespace hulvex {

// Adds to a run opened with Follow (OpenRun or OpenRunHistory) the steps its history gained:
// the step times, the held series and, when the open built one, the camera track, reading only
// the new steps and recomputing only the part of the track they change. Afterwards the run holds
// what a fresh open of the same bytes would hold. On HistoryGrowth::Changed nothing is changed and
// the caller opens the run anew. Throws Error when the run is not open with Follow, or the file
// cannot be read (the run then holds the steps it held).
HistoryExtension ExtendRun(LoadedRun& run, Diagnostics& diag);

}  // namespace hulvex
