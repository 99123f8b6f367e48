// The sea surface: set-up of the constants when a run is opened, and the elevation at one place and
// time for the run's sea kind (0 random, 1 flat, 2 sinusoidal, 3 Gerstner, 4 Stokes).
#pragma once

#include <span>

#include "common/diagnostics.h"
#include "runfiles/run_parameters.h"
#include "sea/sea_constants.h"

namespace hulvex {

// Derives the sea constants (and, for the Stokes sea, its table) from the run parameters.
// Settings that make the run's sea kind meaningless are refused, one message per field naming it
// and its value, and the sea is then drawn flat:
//   Waves outside 0 ... 4;
//   for kinds 0, 2, 3, 4: WvSteep not positive or not finite, WvHHS negative or not finite;
//   random sea: RWvN outside 1 ... 40, RWvTdelay not finite;
//   Stokes sea: StokesN outside 1 ... 9.
// A wave height of 0 is a calm sea: drawn flat without a message.
SeaConstants SeaSetUp(const RunParameters& params, Diagnostics& diag);

// The local surface term a step adds to the sea near the boat (channels 8, 9 and 10 of the step):
// Gain, and the Start and End of the stretch it covers, ft aft of the bow origin. The default is no
// term.
struct SurfaceTermInputs {
  double Gain = 0;
  double Start = 0;
  double End = 1;
};

// Sea surface elevation (ft above mean sea level) at the point H ft aft of the bow origin of a
// boat that has travelled Xb ft, at time T s, plus the local surface term `term`.
// Messages ("WTROCH NO CONVERGE") go to `diag`. Non-finite arguments give a non-finite elevation,
// never a fault.
double SeaElevation(const SeaConstants& sea, double Xb, double H, double T, const SurfaceTermInputs& term,
                    Diagnostics& diag);

// The elevations SeaElevation gives without a surface term at the point H ft aft of the bow origin
// of a boat that has travelled xb[i] ft, at times t[i]: out[i] for every i (the three spans of
// one length). The random sea advances each component's sine from one place and time to the next
// by its phase increment instead of evaluating it afresh, and evaluates it afresh every few
// hundred steps and wherever an increment is large or not finite: each out[i] equals
// SeaElevation's within 1e-11 of the sum of the component amplitudes. The other sea kinds call
// SeaElevation. Messages go to `diag`.
void SeaElevations(const SeaConstants& sea, std::span<const float> xb, double H, std::span<const double> t,
                   std::span<double> out, Diagnostics& diag);

// The local surface term at H: zero at and ahead of Start, and zero when End equals Start or the
// term is not finite; otherwise a tilt through the midpoint of Start and End, slope -Gain, faded in
// aft of Start.
double LocalSurfaceTerm(double H, const SurfaceTermInputs& term);

// The trochoid parameter u with X0 = u - a*sin(k*u), by damped Newton iteration to 1e-5 ft.
// After 201 updates without convergence reports "WTROCH NO CONVERGE" and returns the last iterate.
double SolveTrochoid(double k, double a, double X0, Diagnostics& diag);

}  // namespace hulvex
