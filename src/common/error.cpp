#include "common/error.h"

namespace hulvex {

Error::Error(const std::string& text) : std::runtime_error(text) {}

Error FileNotFound(const std::string& path) { return Error("File not found: " + path); }

Error ReadBeyondEnd(const std::string& path) { return Error("Read beyond end of file: " + path); }

}  // namespace hulvex
