// A file opened read-only for positioned reads, closed with the object.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace hulvex {

class ReadOnlyFile {
public:
  // Opens a regular file for reading. Nothing when it cannot be opened or is not a regular file.
  static std::optional<ReadOnlyFile> Open(const std::string& path);

  ReadOnlyFile() = default;
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  ~ReadOnlyFile();

  bool IsOpen() const { return fd_ >= 0; }
  // The size when the file was opened.
  std::uint64_t size() const { return size_; }
  // The size now (a file being written grows); size() when it cannot be asked.
  std::uint64_t CurrentSize() const;

  // Reads up to buffer.size() bytes at `offset`. Returns the number of bytes read: fewer than
  // asked only at the end of the file (or when it was shortened since it was opened). Several
  // threads may read one file at once.
  std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> buffer) const;

  // Bytes delivered by ReadAt since the file was opened: how much of the file the reads cost.
  std::uint64_t BytesRead() const { return bytesRead_.load(std::memory_order_relaxed); }

private:
  void Close();
  int fd_ = -1;
  std::uint64_t size_ = 0;
  mutable std::atomic<std::uint64_t> bytesRead_ = 0;
};

}  // namespace hulvex
