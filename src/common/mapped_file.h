// A file mapped read-only into memory for the lifetime of the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hulvex {

class MappedFile {
public:
  // Maps the whole file read-only. Returns nothing when the file cannot be opened (missing, not a
  // regular file, no permission). An empty file gives an object with no bytes.
  static std::optional<MappedFile> Open(const std::string& path);

  MappedFile() = default;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // The file's bytes as they were when mapped; valid while this object lives. If another process
  // shortens the file meanwhile, reading the lost pages is undefined (the system signals it).
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  std::size_t size() const { return size_; }

  // Hints for the access pattern that follows; no effect on the contents.
  void AdviseSequential() const;
  void AdviseRandom() const;

private:
  void Release();
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Reads a whole regular file into memory; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Reads at most `maxBytes` from the start of a regular file (fewer when the file is shorter);
// nothing when it cannot be opened or read.
std::optional<std::string> ReadFileHead(const std::string& path, std::size_t maxBytes);

}  // namespace hulvex
