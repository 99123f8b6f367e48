#include "hull/hull_model.h"

#include <algorithm>
#include <cmath>

#include "common/file_lookup.h"
#include "spline/spline_files.h"
#include "hull/spline_sections.h"

namespace hulvex {
namespace {

// A hull that PrepareLoadedHull refused gets no stations.
bool Refused(const HullModel& hull) { return !hull.BoatLoaded || hull.PB.HullType < 1; }

void NotDrawable(HullModel& hull, const std::string& reason) {
  if (!hull.Drawable) return;  // the first reason stays
  hull.Drawable = false;
  hull.NotDrawableReason = reason;
}

}  // namespace

std::vector<std::string> BoatSearchDirectories(const std::string& runDir, const std::vector<std::string>& dataDirs) {
  std::vector<std::string> dirs;
  auto add = [&dirs](const std::string& dir) {
    if (!dir.empty() && std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(dir);
  };
  add(runDir);
  for (const std::string& dir : dataDirs) add(dir);
  return dirs;
}

std::optional<std::string> FindBoatFile(const std::string& boatFile, const std::string& runDir,
                                        const std::vector<std::string>& dataDirs) {
  const std::string name = LastComponent(boatFile, "\\:/");
  if (name.empty()) return std::nullopt;
  for (const std::string& dir : BoatSearchDirectories(runDir, dataDirs))
    if (auto found = FindInDirectory(dir, name)) return found;
  return std::nullopt;
}

bool LoadBoat(HullModel& hull, const RunParameters& params, const std::string& runDir,
              const std::vector<std::string>& dataDirs, Diagnostics& diag) {
  const auto path = FindBoatFile(params.BoatFile, runDir, dataDirs);
  const auto record = path ? ReadBoatFile(*path) : std::nullopt;
  if (!record) {
    // No boat of an earlier run survives: the picture would show another boat.
    hull.PB = BoatRecord{};
    hull.SplineFileName.clear();
    hull.BoatLoaded = false;
    hull.BoatPath.clear();
    hull.Stations = StationTable{};
    const std::string name = LastComponent(params.BoatFile, "\\:/");
    hull.MissingBoatFile = name.empty() ? "(no name)" : name;
    std::string where;
    for (const std::string& dir : BoatSearchDirectories(runDir, dataDirs)) where += (where.empty() ? "" : ", ") + dir;
    diag.Message("boat-file", "Boat File Not Found!\n" +
                                  (name.empty() ? "The run names no boat file" : name + " — looked in " + where));
    return false;
  }
  hull.MissingBoatFile.clear();
  hull.PB = *record;
  hull.SplineFileName = SplineFileNameOf(hull.PB);
  hull.BoatLoaded = true;
  hull.BoatPath = *path;
  return true;
}

void PrepareLoadedHull(HullModel& hull, const RunParameters& params, const std::string& runDir,
                       const std::vector<std::string>& dataDirs, Diagnostics& diag) {
  hull.Drawable = true;
  hull.NotDrawableReason.clear();
  if (!hull.BoatLoaded) {
    NotDrawable(hull, hull.MissingBoatFile.empty() ? "no boat is loaded" : "Boat File Not Found: " + hull.MissingBoatFile);
    return;
  }
  if (hull.PB.HullType < 1) {
    diag.Message("hull-type", "Hull type " + std::to_string(hull.PB.HullType) + " of boat file " + hull.BoatPath +
                 " is not defined: the boat is rejected and the hull is not drawn");
    NotDrawable(hull, "hull type " + std::to_string(hull.PB.HullType) + " is not defined");
    return;
  }
  const SplineFileSource source{hull.SplineFileName, params.BoatFile, runDir, dataDirs};
  PrepareHull(hull.PB, hull.Splines, source, diag);
}

void BuildLoadedStations(HullModel& hull, const RunParameters& params, Diagnostics& diag) {
  if (Refused(hull)) return;
  if (!SetUpStations(hull.PB, params.StationCount, hull.Stations, diag))
    NotDrawable(hull, "the station count is " + std::to_string(params.StationCount));
  // Without a positive length the stations would lie ahead of the bow; they are not built.
  const bool lengthPositive = hull.PB.Length > 0;
  if (lengthPositive) BuildStationTable(hull.PB, hull.Splines, hull.Stations, diag);

  if (!hull.Drawable) return;
  const StationTable& t = hull.Stations;
  std::string reason;
  if (!lengthPositive) {
    reason = "the boat length is not positive";
  } else if (hull.PB.HullType >= 7 && !HullLinesLoaded(hull.Splines, HullLineLayoutOf(hull.PB))) {
    reason = "no hull lines are loaded for this boat";
  } else if (!std::isfinite(t.StationSpacing) || !std::isfinite(t.CgBelowDatum)) {
    reason = "the station spacing or the centre of gravity is not finite";
  } else {
    for (int c = 0; c <= t.StationCount && reason.empty(); ++c) {
      const HullSection& s = t.Sections[c];
      if (!std::isfinite(s.KeelZ) || !std::isfinite(s.ChineZ) || !std::isfinite(s.SheerHeight))
        reason = "the hull section at station " + std::to_string(c) + " is not finite";
    }
  }
  if (reason.empty()) return;
  diag.Message("hull-not-drawn", "The hull cannot be drawn: " + reason);
  NotDrawable(hull, reason);
}

}  // namespace hulvex
