#include "common/axb.h"

#include <cmath>

namespace hulvex {

double AXB(double A, double B, Diagnostics& diag) {
  if (B > 1e-300) return std::exp(A * std::log(B));
  if (B < 0) diag.Message("axb", "AXB ERR");
  return 0.0;
}

}  // namespace hulvex
