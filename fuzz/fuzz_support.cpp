#include "fuzz_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace hulvex::fuzz {

const std::string& ScratchDir() {
  static const std::string dir = [] {
    // Memory-backed when the system has it: inputs are written for every run.
    std::error_code ec;
    const std::filesystem::path base =
        std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
    const auto p = base / ("hulvex-fuzz-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p.string();
  }();
  return dir;
}

std::string WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return path;
}

}  // namespace hulvex::fuzz
