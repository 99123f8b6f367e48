// Helpers that damage files written by the writers, for tests of bad input. Failures throw Error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace hulvex::test_support {

// Cuts the file to `size` bytes.
void TruncateFile(const std::string& path, std::size_t size);

// Overwrites bytes starting at `offset` (the file grows if needed).
void PatchFile(const std::string& path, std::size_t offset, const std::vector<std::uint8_t>& bytes);

// Makes the file (a prefix of `bytes`, or missing) the first `size` bytes of `bytes` (size <=
// bytes.size()) as a writer would, in place: cut when it is longer, else appended to.
void GrowFileTo(const std::string& path, const std::vector<std::uint8_t>& bytes, std::size_t size);

std::vector<std::uint8_t> Int16Bytes(std::int16_t v);
std::vector<std::uint8_t> Int32Bytes(std::int32_t v);
std::vector<std::uint8_t> Real32Bytes(float v);
std::vector<std::uint8_t> Real64Bytes(double v);

// A fresh empty directory under the system's temporary directory, removed with the object.
class TempDir {
public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

}  // namespace hulvex::test_support
