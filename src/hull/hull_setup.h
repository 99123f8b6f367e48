// Preparing the hull of a loaded boat: the derived coefficients, the station spacing and the
// table of hull sections along the boat.
#pragma once

#include <array>
#include <cstdint>

#include "common/diagnostics.h"
#include "hull/boat_record.h"
#include "hull/hull_section.h"
#include "spline/spline_files.h"
#include "spline/spline_store.h"

namespace hulvex {

constexpr int kMaxStations = 40;

// Sections at the stations: entry 0 at x = 0.0001, entry c (1 ... StationCount) at
// x = c * StationSpacing. Entries above StationCount keep what an earlier build left.
struct StationTable {
  std::array<HullSection, kMaxStations + 1> Sections{};
  int StationCount = 0;       // stations built after entry 0: 0 ... 40
  double StationSpacing = 0;  // Length / StationCount, ft; 0 when StationCount is 0
  double CgBelowDatum = 0;    // KeelDepth - VCG, ft
};

// The hull-line layout a spline hull (HullType 7 and above) selects by SplineAlt and SplineAlt2.
SplineLayout HullLineLayoutOf(const BoatRecord& pb);

// Writes the dimensions a hull-line table fixes into the boat record.
void ApplySplineDimensions(BoatRecord& PB, const SplineHullDimensions& d);

// Loads the hull-line file of `layout` (LoadSplineFile) and, when it loaded, sets PB's
// dimensions from it. True when the store was updated.
bool LoadHullLines(SplineLayout layout, SplineStore& store, BoatRecord& PB, const SplineFileSource& source,
                   Diagnostics& diag);

// Derives the coefficients of the analytic formulas in PB (HullType below 7), each rounded to
// single precision as stored, and loads the slope-factor file when SplineProps is set; or, for
// a spline hull, loads its hull-line file by the layout SplineAlt / SplineAlt2 select, which also
// sets PB's geometric fields. Reports "PB.AA exponent cannot be less than unity" and stops early
// (Length and ChineLength already set) when AA < 1 for types other than 3. Returns false then.
bool PrepareHull(BoatRecord& PB, SplineStore& store, const SplineFileSource& splineFile, Diagnostics& diag);

// StationSpacing = Length / N and CgBelowDatum = KeelDepth - VCG. N above 40 is taken as 40 and
// reported; N of 0 or less is reported, gives StationCount 0 and spacing 0, and returns false.
bool SetUpStations(const BoatRecord& PB, std::int16_t N, StationTable& table, Diagnostics& diag);

// Computes entries 0 ... table.StationCount with ComputeHullSection.
void BuildStationTable(const BoatRecord& PB, const SplineStore& store, StationTable& table, Diagnostics& diag);

}  // namespace hulvex
