#include "support/file_edit.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "common/error.h"
#include "common/le_bytes.h"

namespace hulvex::test_support {
namespace fs = std::filesystem;

void TruncateFile(const std::string& path, std::size_t size) {
  std::error_code ec;
  fs::resize_file(path, size, ec);
  if (ec) throw Error("cannot truncate " + path + ": " + ec.message());
}

void PatchFile(const std::string& path, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  if (!f) throw Error("cannot patch " + path);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw Error("cannot patch " + path);
}

void GrowFileTo(const std::string& path, const std::vector<std::uint8_t>& bytes, std::size_t size) {
  std::error_code ec;
  const std::uintmax_t now = fs::exists(path, ec) ? fs::file_size(path, ec) : 0;
  if (size < now) return TruncateFile(path, size);
  if (!fs::exists(path, ec)) std::ofstream(path, std::ios::binary);
  PatchFile(path, static_cast<std::size_t>(now),
            std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(now), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
}

std::vector<std::uint8_t> Int16Bytes(std::int16_t v) {
  std::vector<std::uint8_t> b(2);
  le::put_int16(b, 0, v);
  return b;
}
std::vector<std::uint8_t> Int32Bytes(std::int32_t v) {
  std::vector<std::uint8_t> b(4);
  le::put_int32(b, 0, v);
  return b;
}
std::vector<std::uint8_t> Real32Bytes(float v) {
  std::vector<std::uint8_t> b(4);
  le::put_real32(b, 0, v);
  return b;
}
std::vector<std::uint8_t> Real64Bytes(double v) {
  std::vector<std::uint8_t> b(8);
  le::put_real64(b, 0, v);
  return b;
}

TempDir::TempDir() {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) throw Error("no temporary directory: " + ec.message());
  for (;;) {
    const fs::path p = base / ("hulvex-" + std::to_string(gen()));
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      return;
    }
    if (ec) throw Error("cannot create " + p.string() + ": " + ec.message());
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

}  // namespace hulvex::test_support
