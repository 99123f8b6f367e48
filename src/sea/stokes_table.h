// The Stokes wave: one wave length tabulated at run open, looked up at every evaluation.
#pragma once

#include "runfiles/run_parameters.h"
#include "sea/sea_constants.h"

namespace hulvex {

// Fills sea.Stokes from WvSteep and StokesN and sets sea.Celerity to the Stokes wave speed,
// negative for following seas (HeadSea false). Needs sea.WaveLength set and StokesN in 1 ... 9;
// with any other StokesN nothing is written.
void BuildStokesTable(const RunParameters& params, SeaConstants& sea);

// The elevation (ft) at phase fraction p of the tabulated wave: linear interpolation between the
// bracketing table points; below the first or above the last phase, linear extrapolation from the
// two end points. p is meant to lie in [0, 1); any finite p is safe. NaN for a non-finite p.
double StokesLookup(const StokesTable& table, double p);

}  // namespace hulvex
