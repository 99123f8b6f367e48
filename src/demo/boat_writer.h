// Writers of boat files, for tests, benchmarks and the demo generator. A file that cannot be
// written throws Error "cannot write PATH".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hull/boat_record.h"
#include "runfiles/run_parameters.h"
#include "spline/spline_files.h"

namespace hulvex::demo {

// The 402 bytes of a boat file: pb.Raw with every named field of pb written over it. BoatName is
// written blank-padded (or cut) to 48 characters.
std::vector<std::uint8_t> EncodeBoatRecord(const BoatRecord& pb);
void WriteBoatFile(const std::string& path, const BoatRecord& pb);

// A 24 ft planing boat of an analytic hull type (1 ... 6): 8 ft chine beam, forebody 9 ft, chine
// run-in to 12 ft, 18 degrees deadrise aft (types 4 to 6), derived fields as the hull set-up
// derives them (PlanSlopeFactor consistent with the chine plan-form), BoatName blank.
// Type 2 carries a keel rocker; the others do not.
BoatRecord SampleBoat(int hullType);

// The forebody chine slope factor that matches the chine plan-form of a prepared analytic boat:
// d/dx [PlanScale (1 - (u PlanG)^AA)^PlanExp] = u^(AA-1) (q / w) * factor, rounded as stored.
float MatchingPlanSlopeFactor(const BoatRecord& pb);

// A spline-defined boat (HullType 7) of the layout's SplineAlt / SplineAlt2 whose BoatName is
// `splineFileName`; for SplineLayout::SlopeFactor, the type-1 sample boat with SplineProps set.
BoatRecord SampleSplineBoat(SplineLayout layout, const std::string& splineFileName);

}  // namespace hulvex::demo
