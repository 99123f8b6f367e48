#include "analysis/series.h"

#include <algorithm>
#include <cmath>

#include "common/number_format.h"

namespace hulvex::analysis {

std::string StepTimeProblem(std::span<const double> time, std::size_t firstStep) {
  for (std::size_t i = 0; i < time.size(); ++i) {
    const std::size_t step = firstStep + i;
    if (!std::isfinite(time[i])) return "the time of step " + std::to_string(step) + " is not a finite number";
    if (i > 0 && time[i] < time[i - 1]) {
      return "step " + std::to_string(step) + " at " + FormatSeconds(time[i]) + " comes before step " +
             std::to_string(step - 1) + " at " + FormatSeconds(time[i - 1]);
    }
  }
  return {};
}

StepRange FindWindow(std::span<const double> time, double from, double to) {
  if (!(from <= to)) return {};
  const auto begin = std::lower_bound(time.begin(), time.end(), from);
  const auto end = std::upper_bound(begin, time.end(), to);
  return {static_cast<std::size_t>(begin - time.begin()), static_cast<std::size_t>(end - time.begin())};
}

Series Slice(const Series& series, StepRange range) {
  const std::size_t size = std::min(series.Time.size(), series.Value.size());
  const std::size_t begin = std::min(range.Begin, size);
  const std::size_t end = std::clamp(range.End, begin, size);
  return {series.Time.subspan(begin, end - begin), series.Value.subspan(begin, end - begin), series.FirstStep + begin};
}

Series ScaledWindow(std::span<const double> time, std::span<const float> values, StepRange range, double scale,
                    std::vector<double>& buffer) {
  const std::size_t size = std::min(time.size(), values.size());
  const std::size_t begin = std::min(range.Begin, size);
  const std::size_t end = std::clamp(range.End, begin, size);
  buffer.resize(end - begin);
  for (std::size_t i = begin; i < end; ++i) buffer[i - begin] = static_cast<double>(values[i]) * scale;
  return {time.subspan(begin, end - begin), buffer, begin};
}

std::string SeriesProblem(const Series& series) {
  if (series.Time.size() != series.Value.size()) {
    return "the series has " + std::to_string(series.Time.size()) + " times but " +
           std::to_string(series.Value.size()) + " values";
  }
  // A branch-free pass first; the offending step is looked for only when it fails.
  // (x * 0 is 0 for a finite x and NaN otherwise; NaN fails every comparison.)
  const std::span<const double> t = series.Time, v = series.Value;
  bool rising = true;
  for (std::size_t k = 1; k < t.size(); ++k) rising &= t[k] >= t[k - 1];
  double zero[4] = {0, 0, 0, 0};
  std::size_t k = 0;
  for (; k + 4 <= v.size(); k += 4) {
    for (std::size_t lane = 0; lane < 4; ++lane) zero[lane] += v[k + lane] * 0.0;
  }
  for (; k < v.size(); ++k) zero[0] += v[k] * 0.0;
  if (!t.empty()) zero[0] += t.front() * 0.0 + t.back() * 0.0;
  if (rising && zero[0] + zero[1] + zero[2] + zero[3] == 0.0) return {};

  if (std::string problem = StepTimeProblem(series.Time, series.FirstStep); !problem.empty()) return problem;
  for (std::size_t i = 0; i < series.Value.size(); ++i) {
    if (!std::isfinite(series.Value[i])) {
      return "the value of step " + std::to_string(series.FirstStep + i) + " is not a finite number";
    }
  }
  return {};
}

}  // namespace hulvex::analysis
