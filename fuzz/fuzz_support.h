// What the fuzz targets share: a scratch directory for inputs that must be files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace hulvex::fuzz {

// A directory of this process's own, created once, for input files.
const std::string& ScratchDir();

// Writes the bytes to ScratchDir()/name and returns the path.
std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);

}  // namespace hulvex::fuzz
