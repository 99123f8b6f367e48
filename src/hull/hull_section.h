// The hull's cross-section at one station along its length.
#pragma once

#include <span>

#include "common/diagnostics.h"
#include "hull/boat_record.h"
#include "spline/spline_store.h"

namespace hulvex {

// Depths are measured down from the datum line, heights up from it, half-breadths from the
// centre plane; slopes are d/dx along the hull. All in feet.
struct HullSection {
  double ChineHalfBeam = 0;
  double InnerHalfBeam = 0;  // = ChineHalfBeam for hulls without an inner chine
  double KeelZ = 0;
  double ChineZ = 0;
  double InnerZ = 0;         // = ChineZ for hulls without an inner chine
  double KeelZSlope = 0;
  double ChineZSlope = 0;
  double InnerZSlope = 0;    // = ChineZSlope for hulls without an inner chine
  double GunwaleHalfBeam = 0;
  double SheerHeight = 0;
  // The bottom between keel (u = 0) and chine (or inner chine, u = 1), normalised:
  // f(u) = BottomC1 u + BottomC2 u^2 + BottomC3 u^3.
  double BottomC1 = 0;
  double BottomC2 = 0;
  double BottomC3 = 0;
};

struct HullSectionField {
  const char* Name;
  double HullSection::*Member;
};
// The thirteen fields in record order.
std::span<const HullSectionField> HullSectionFields();

// The section of the hull described by `PB` at x (ft aft of the bow origin; x > 0 in use).
// Needs PB prepared by PrepareHull since it was loaded; spline hulls (HullType 7 and above) and
// analytic hulls with SplineProps read `store`. Every field is written. Degenerate records (zero
// lengths, keel depth equal to chine depth) give non-finite values, never a crash. Messages
// ("AXB ERR", "Error in Slope specification") go to `diag`.
void ComputeHullSection(const BoatRecord& PB, const SplineStore& store, double x, HullSection& section,
                        Diagnostics& diag);

}  // namespace hulvex
