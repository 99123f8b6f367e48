// Series of (time, value) steps, windows of them, and figures that may be missing.
// Everything in analysis/ is a pure function over caller-owned data: no I/O, no Qt, no state.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace hulvex::analysis {

// A figure or block of figures, or the reason there is none (Reason is empty when Value is set).
template <typename T>
struct Maybe {
  std::optional<T> Value;
  std::string Reason;

  static Maybe Of(T v) { return Maybe{std::move(v), {}}; }
  static Maybe Missing(std::string reason) { return Maybe{std::nullopt, std::move(reason)}; }
  bool has_value() const { return Value.has_value(); }
  const T& operator*() const { return *Value; }
  const T* operator->() const { return &*Value; }
};

// Steps FirstStep + i, i = 0 ... Time.size() - 1, with time Time[i] (seconds) and value Value[i].
// A view: the caller owns both arrays and keeps them alive while the series is used. Every
// function taking a series reports (as a Missing result naming the step) Time and Value of
// different lengths, times that are not finite or that decrease, and values that are not finite.
struct Series {
  std::span<const double> Time;
  std::span<const double> Value;
  std::size_t FirstStep = 0;  // the step number of element 0, for messages and peak positions
};

// Steps Begin ... End - 1 of a series.
struct StepRange {
  std::size_t Begin = 0;
  std::size_t End = 0;
  std::size_t Count() const { return End > Begin ? End - Begin : 0; }
};

// Empty when every time is finite and none is below the one before it; otherwise what is wrong
// at the first step that breaks it, e.g. "step 12 at 0.11 s comes before step 11 at 0.12 s"
// (element i is step firstStep + i).
std::string StepTimeProblem(std::span<const double> time, std::size_t firstStep = 0);

// The steps whose time lies in [from, to] (either bound may be infinite). Needs non-decreasing
// times (binary search); a window outside the series, or from > to, gives an empty range.
StepRange FindWindow(std::span<const double> time, double from, double to);

// The steps of `range` (indices into the series, clamped to it) as a series viewing the same arrays.
Series Slice(const Series& series, StepRange range);

// Steps `range` (clamped to the shorter of `time` and `values`) of single-precision values, each
// widened and multiplied by `scale`, as a series viewing `time` and `buffer`, numbered from the
// range's first step. `buffer` is overwritten and keeps its capacity, so a caller that reuses it
// allocates only when a window is longer than any before.
Series ScaledWindow(std::span<const double> time, std::span<const float> values, StepRange range, double scale,
                    std::vector<double>& buffer);

// Empty when `series` is usable as documented at Series, else the reason it is not.
std::string SeriesProblem(const Series& series);

}  // namespace hulvex::analysis
