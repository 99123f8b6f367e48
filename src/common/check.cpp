#include "common/check.h"

#include <string>

namespace hulvex {

void FailedAssertion(const char* condition, const char* file, int line) {
  throw InternalError("Internal error: " + std::string(condition) + " (" + file + ":" + std::to_string(line) + ")");
}

}  // namespace hulvex
