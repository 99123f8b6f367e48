#include "run/envelope.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace hulvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double Display(float raw, double factor) { return static_cast<float>(static_cast<double>(raw) * factor); }

bool Finite(float v) { return std::isfinite(v); }

// Smallest and largest of v[0 ... n-1], skipping NaN (a comparison with NaN is false); +inf and
// -inf when there is no number. A long column is a million values when zoomed out, so the bulk
// goes eight at a time through the vector minimum and maximum (which keep the running value
// when the new one is NaN, as the comparisons do).
void Extremes(const float* v, std::size_t n, float& mn, float& mx) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  mn = kInf;
  mx = -kInf;
  std::size_t i = 0;
#if defined(__SSE2__)
  __m128 lo0 = _mm_set1_ps(kInf), lo1 = lo0, hi0 = _mm_set1_ps(-kInf), hi1 = hi0;
  for (; i + 8 <= n; i += 8) {
    const __m128 a = _mm_loadu_ps(v + i), b = _mm_loadu_ps(v + i + 4);
    lo0 = _mm_min_ps(a, lo0);  // a < lo0 ? a : lo0, lane by lane
    lo1 = _mm_min_ps(b, lo1);
    hi0 = _mm_max_ps(a, hi0);
    hi1 = _mm_max_ps(b, hi1);
  }
  alignas(16) float lo[4], hi[4];
  _mm_store_ps(lo, _mm_min_ps(lo0, lo1));
  _mm_store_ps(hi, _mm_max_ps(hi0, hi1));
  for (int k = 0; k < 4; ++k) {
    mn = lo[k] < mn ? lo[k] : mn;
    mx = hi[k] > mx ? hi[k] : mx;
  }
#endif
  for (; i < n; ++i) {
    mn = v[i] < mn ? v[i] : mn;
    mx = v[i] > mx ? v[i] : mx;
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
