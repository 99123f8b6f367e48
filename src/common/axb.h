// The power helper of the hull model and the sea set-up.
#pragma once

#include "common/diagnostics.h"

namespace hulvex {

// B raised to the power A: exp(A * ln B) when B > 1e-300, otherwise 0. A negative B (and only a
// negative one) also reports "AXB ERR" to `diag`; the result is still 0. A NaN base gives 0
// silently.
double AXB(double A, double B, Diagnostics& diag);

}  // namespace hulvex
