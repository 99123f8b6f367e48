// The hull of the loaded run: the boat record, the spline curves and the station table, with the
// steps of opening a run that set them. Owned by the loaded run and kept between opens: a spline
// load changes only what it loads; a missing boat file leaves no boat (never the previous run's).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "hull/boat_record.h"
#include "hull/hull_setup.h"
#include "runfiles/run_parameters.h"
#include "spline/spline_store.h"

namespace hulvex {

struct HullModel {
  BoatRecord PB;               // the loaded boat, prepared
  std::string SplineFileName;  // from PB's BoatName when it was read
  bool BoatLoaded = false;     // this run's boat file has been read into PB
  std::string BoatPath;        // the file PB was read from
  std::string MissingBoatFile; // the boat file the last LoadBoat did not find ("(no name)"); empty when found
  SplineStore Splines;
  StationTable Stations;
  // Whether the picture can show this hull; when not, why (for the window to show).
  bool Drawable = false;
  std::string NotDrawableReason = "no run is loaded";
};

// Where the boat file named by a run's BoatFile is: its last component (after the last '\', ':'
// or '/'), looked up in `runDir`, then in each of `dataDirs` in order (empty ones skipped), the
// exact name first, then a case-insensitive match. Nothing when it is in none of them.
std::optional<std::string> FindBoatFile(const std::string& boatFile, const std::string& runDir,
                                        const std::vector<std::string>& dataDirs);

// The directories FindBoatFile looks in, in its order: `runDir`, then `dataDirs`; empty and
// repeated ones left out.
std::vector<std::string> BoatSearchDirectories(const std::string& runDir, const std::vector<std::string>& dataDirs);

// Reads the run's boat file into PB and sets SplineFileName. A file not found reports "Boat File
// Not Found!" with a second line naming the file and the directories searched ("DV30.BOT — looked
// in /runs, /usr/share/hulvex"), and leaves no boat: PB, the stations and BoatPath are cleared,
// BoatLoaded is false and MissingBoatFile names the file. Throws Error "Read beyond end of file:
// PATH" for a file shorter than one record. Returns whether a boat was read.
bool LoadBoat(HullModel& hull, const RunParameters& params, const std::string& runDir,
              const std::vector<std::string>& dataDirs, Diagnostics& diag);

// Prepares the loaded boat (PrepareHull, with the spline files looked up like the boat file).
// No boat loaded (the reason "Boat File Not Found: NAME" after a missing boat file), or a HullType
// below 1 (reported), leaves the hull not drawable and unprepared. Sets Drawable for the steps
// that follow.
void PrepareLoadedHull(HullModel& hull, const RunParameters& params, const std::string& runDir,
                       const std::vector<std::string>& dataDirs, Diagnostics& diag);

// SetUpStations and BuildStationTable for the run's StationCount, then the check that the
// picture can be drawn: a positive Length, loaded hull lines for a spline hull, and finite
// keel, chine and sheer of every built station (reported once when it fails). A Length that is
// not positive builds no station. Does nothing for a hull that PrepareLoadedHull refused.
void BuildLoadedStations(HullModel& hull, const RunParameters& params, Diagnostics& diag);

}  // namespace hulvex
