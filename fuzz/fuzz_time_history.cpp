// Any bytes as a time-history file: its span peeked, then open, index, read every step raw and
// converted; the peeked span is the indexed steps' first and last time, or nothing when the open fails.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <utility>

#include "common/diagnostics.h"
#include "common/error.h"
#include "fuzz_support.h"
#include "runfiles/time_history.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace hulvex;
  const std::string path = fuzz::WriteInput("RUN.TTS", data, size);
  const std::string run = path.substr(0, path.size() - 4);
  NullDiagnostics diag;
  TimeHistory h;
  const std::optional<std::pair<double, double>> peeked = PeekStepTimeSpan(run);  // never throws
  const auto same = [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); };
  bool opened = false;
  try {
    opened = OpenTimeHistory(h, run, size % 2 == 0, diag) == HistoryOpenResult::Opened;
    if (!opened) {
      if (peeked) __builtin_trap();
      return 0;
    }
    if (h.StepCount() < 1 || static_cast<std::int64_t>(h.StepCount()) > h.Header.LastStep + 1LL) __builtin_trap();
    if (!peeked || !same(peeked->first, h.StepTimes.front()) || !same(peeked->second, h.StepTimes.back())) __builtin_trap();
    for (std::int32_t s = 0; s < h.StepCount(); ++s) {
      (void)ReadStep(h, s, false, diag);
      (void)ReadStep(h, s, true, diag);
    }
    const int channels[] = {0, 6, 7, 109};
    const auto series = ReadChannelSeries(h, channels, diag);
    if (series[1].size() != h.StepTimes.size()) __builtin_trap();
    (void)ReadStep(h, h.StepCount(), false, diag);  // one past the end: must throw
    __builtin_trap();
  } catch (const Error&) {
    if (!opened && peeked) __builtin_trap();  // a header too short to open
  }
  return 0;
}
