// The min/max envelope a plot draws of a long series: at most two points per pixel column, so a
// plot of a million steps hands the widget a few thousand points, however far it is zoomed out.
#pragma once

#include <limits>
#include <span>
#include <vector>

namespace hulvex {

struct EnvelopePoint {
  double t = 0;  // step time, s
  double v = 0;  // display value; NaN marks a gap
};

struct Envelope {
  std::vector<EnvelopePoint> Points;  // in increasing t
  // Smallest and largest finite display value of the steps inside the range; NaN when it has none.
  double Min = std::numeric_limits<double>::quiet_NaN();
  double Max = std::numeric_limits<double>::quiet_NaN();
};

// Builds into `out` the envelope of `values` (raw; display value = float(raw x factor), factor > 0)
// at the increasing `stepTimes` over the time range [t0, t1] for `columns` pixel columns:
// - the nearest step before t0 and after t1, when there are such steps, are points as they are,
//   so that the line reaches both edges;
// - when the range holds at most 2 x columns steps, every step in it is a point;
// - otherwise each column (an equal share of the range) gives its smallest and largest finite
//   value at the times of its first and last step, in the order that continues the line from
//   the column before; a column without a finite value gives one gap point.
// A value that is not finite is a gap point where steps are points. Both spans have one entry per
// step (the shorter length counts). Reuses out's storage.
void BuildEnvelope(std::span<const double> stepTimes, std::span<const float> values, double factor, double t0,
                   double t1, int columns, Envelope& out);

}  // namespace hulvex
