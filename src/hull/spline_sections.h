// Hull sections of spline-defined hulls, and the bottom curve from tabulated slope factors.
#pragma once

#include "common/diagnostics.h"
#include "hull/hull_section.h"
#include "spline/spline_files.h"
#include "spline/spline_store.h"

namespace hulvex {

// True when the bottom cubic c1 u + c2 u^2 + c3 u^3 has no stationary point on 0 <= u <= 1 (a
// straight one needs a slope above 1e-6). Non-finite coefficients fail.
bool SlopeCheckPasses(double c1, double c2, double c3);

// Sets BottomC1 ... BottomC3 of the cubic with f(1) = t, f'(0) = t / p, f'(1) = t / q and reports
// "Error in Slope specification" when it fails the slope check (a zero p or q, or a non-finite t,
// fails it too). Returns whether it passed.
bool BottomCubic(double t, double p, double q, HullSection& section, Diagnostics& diag);

// True when the knot sets the hull-line layout evaluates on are loaded (not empty).
bool HullLinesLoaded(const SplineStore& store, SplineLayout layout);

// The whole section at x from the store's hull lines, for each hull-line layout. With no hull
// lines loaded the section is all zero but BottomC1 = 1, without a message.
void PlainChineSection(const SplineStore& store, HullSection& section, double x, Diagnostics& diag);
void InnerChineSection(const SplineStore& store, HullSection& section, double x, Diagnostics& diag);
void ChineAngleSection(const SplineStore& store, HullSection& section, double x, Diagnostics& diag);

// Replaces the bottom coefficients of a finished analytic section by the cubic from the
// tabulated slope factors at x. With no slope factors loaded (an empty bottom knot set) the
// straight bottom is kept: BottomC1 = ChineHalfBeam / (KeelZ - ChineZ), the others 0.
void SlopeFactorSection(const SplineStore& store, HullSection& section, double x, Diagnostics& diag);

}  // namespace hulvex
