#include "common/file_reading.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace hulvex {

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return s;
}

std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string s(maxBytes, '\0');
  in.read(s.data(), static_cast<std::streamsize>(maxBytes));
  if (in.bad()) return std::nullopt;
  s.resize(static_cast<std::size_t>(in.gcount()));
  return s;
}

}  // namespace hulvex
