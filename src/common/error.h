// The one error type of the core: a failure that ends the command in progress.
#pragma once

#include <stdexcept>
#include <string>

namespace hulvex {

// Thrown by the core when a command cannot go on (a file missing or too short, a header refused).
// what() is the complete text the user sees; the command's handler catches it and reports it once.
class Error : public std::runtime_error {
public:
  explicit Error(const std::string& text);
};

// The input/output failures the viewer reports, with the path of the file concerned.
Error FileNotFound(const std::string& path);      // "File not found: PATH"
Error ReadBeyondEnd(const std::string& path);     // "Read beyond end of file: PATH"

}  // namespace hulvex
