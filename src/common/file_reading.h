// Reading small files whole.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace hulvex {

// Reads a whole regular file into memory; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads at most `maxBytes` from the start of a regular file (fewer when the file is shorter);
// nothing when it cannot be opened or read.
std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes);

}  // namespace hulvex
