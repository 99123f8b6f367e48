// Any bytes as a time-history file: open, index, read every step raw and converted.
#include <algorithm>
#include <cstdint>

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
  try {
    if (OpenTimeHistory(h, run, size % 2 == 0, diag) != HistoryOpenResult::Opened) return 0;
    if (h.StepCount() < 1 || static_cast<std::int64_t>(h.StepCount()) > h.Header.LastStep + 1LL) __builtin_trap();
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
  }
  return 0;
}
