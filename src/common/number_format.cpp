#include "common/number_format.h"

#include <cmath>
#include <cstdio>

namespace hulvex {

std::string FormatFixed(double v, int width, int decimals) {
  std::string body;
  if (std::isnan(v)) {
    body = "NaN";
  } else if (std::isinf(v)) {
    body = v > 0 ? "+Inf" : "-Inf";
  } else {
    // Large enough for the widest double in fixed notation (309 digits and the decimals).
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    body = buf;
  }
  if (static_cast<int>(body.size()) < width) body.insert(0, static_cast<std::size_t>(width) - body.size(), ' ');
  return body;
}

}  // namespace hulvex
