// Any bytes as a run parameter file.
#include <cstdint>
#include <string>

#include "common/error.h"
#include "runfiles/run_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const hulvex::RunParameters p = hulvex::ParseRunParameters(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    if (p.SpeedSpecified != (p.DOFMode == 0)) __builtin_trap();
    (void)hulvex::ModeName(p.DOFMode);
    (void)hulvex::SeaKindName(p.Waves);
  } catch (const hulvex::Error&) {
  }
  return 0;
}
