#include "run/envelope.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace hulvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Display(float raw, double factor) { return static_cast<float>(static_cast<double>(raw) * factor); }

bool Finite(float v) { return std::isfinite(v); }

// Smallest and largest of v[0 ... n-1], skipping NaN (a comparison with NaN is false); +inf and
// -inf when there is no number. Eight independent lanes, so that the compiler can use vector
// minimum and maximum instructions (a long column is a million values when zoomed out).
void Extremes(const float* v, std::size_t n, float& mn, float& mx) {
  constexpr std::size_t kLanes = 8;
  float lo[kLanes], hi[kLanes];
  for (std::size_t k = 0; k < kLanes; ++k) {
    lo[k] = std::numeric_limits<float>::infinity();
    hi[k] = -std::numeric_limits<float>::infinity();
  }
  std::size_t i = 0;
  for (; i + kLanes <= n; i += kLanes)
    for (std::size_t k = 0; k < kLanes; ++k) {
      const float x = v[i + k];
      lo[k] = x < lo[k] ? x : lo[k];
      hi[k] = x > hi[k] ? x : hi[k];
    }
  for (std::size_t k = 0; i < n; ++i, ++k) {
    lo[k] = v[i] < lo[k] ? v[i] : lo[k];
    hi[k] = v[i] > hi[k] ? v[i] : hi[k];
  }
  mn = lo[0];
  mx = hi[0];
  for (std::size_t k = 1; k < kLanes; ++k) {
    mn = lo[k] < mn ? lo[k] : mn;
    mx = hi[k] > mx ? hi[k] : mx;
  }
}

}  // namespace

void BuildEnvelope(std::span<const double> stepTimes, std::span<const float> values, double factor, double t0,
                   double t1, int columns, Envelope& out) {
  out.Points.clear();
  out.Min = out.Max = kNaN;
  const std::size_t n = std::min(stepTimes.size(), values.size());
  if (n == 0 || !(t0 <= t1)) return;
  columns = std::max(columns, 1);
  const auto times = stepTimes.first(n);
  // Steps first ... last - 1 lie inside [t0, t1].
  const std::size_t first = static_cast<std::size_t>(std::lower_bound(times.begin(), times.end(), t0) - times.begin());
  const std::size_t last = static_cast<std::size_t>(std::upper_bound(times.begin(), times.end(), t1) - times.begin());

  float lo = std::numeric_limits<float>::infinity(), hi = -lo;
  auto point = [&](std::size_t s) {
    out.Points.push_back({times[s], Finite(values[s]) ? Display(values[s], factor) : kNaN});
  };
  if (first > 0) point(first - 1);
  if (last - first <= 2 * static_cast<std::size_t>(columns)) {
    for (std::size_t s = first; s < last; ++s) {
      point(s);
      if (Finite(values[s])) {
        lo = std::min(lo, values[s]);
        hi = std::max(hi, values[s]);
      }
    }
  } else {
    const double width = (t1 - t0) / columns;
    double previous = kNaN;  // the last value drawn, to continue the line from
    std::size_t begin = first;
    for (int c = 0; c < columns && begin < last; ++c) {
      const std::size_t end =
          c + 1 == columns ? last
                           : static_cast<std::size_t>(std::lower_bound(times.begin() + static_cast<std::ptrdiff_t>(begin),
                                                                       times.begin() + static_cast<std::ptrdiff_t>(last),
                                                                       t0 + (c + 1) * width) - times.begin());
      if (end == begin) continue;
      // Comparisons skip NaN by themselves; infinities are rare and handled by a second look.
      float mn, mx;
      Extremes(values.data() + begin, end - begin, mn, mx);
      if (std::isinf(mn) || std::isinf(mx)) {
        mn = std::numeric_limits<float>::infinity();
        mx = -mn;
        for (std::size_t s = begin; s < end; ++s)
          if (Finite(values[s])) {
            mn = std::min(mn, values[s]);
            mx = std::max(mx, values[s]);
          }
      }
      if (mn > mx) {  // no finite value in the column
        out.Points.push_back({times[begin], kNaN});
        previous = kNaN;
      } else {
        lo = std::min(lo, mn);
        hi = std::max(hi, mx);
        const double dmn = Display(mn, factor), dmx = Display(mx, factor);
        // Continue from the previous column's end (or from the column's own first value).
        const double from = std::isnan(previous) ? Display(values[begin], factor) : previous;
        const bool minFirst = !(std::abs(from - dmx) < std::abs(from - dmn));
        const double a = minFirst ? dmn : dmx, b = minFirst ? dmx : dmn;
        out.Points.push_back({times[begin], a});
        if (end - begin > 1) out.Points.push_back({times[end - 1], b});
        previous = end - begin > 1 ? b : a;
      }
      begin = end;
    }
  }
  if (last < n) point(last);
  if (lo <= hi) {
    out.Min = Display(lo, factor);
    out.Max = Display(hi, factor);
  }
}

}  // namespace hulvex
