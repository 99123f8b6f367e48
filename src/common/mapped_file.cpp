#include "common/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace hulvex {

std::optional<MappedFile> MappedFile::Open(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  MappedFile f;
  if (st.st_size > 0) {
    void* p = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      ::close(fd);
      return std::nullopt;
    }
    f.data_ = static_cast<const std::uint8_t*>(p);
    f.size_ = static_cast<std::size_t>(st.st_size);
  }
  ::close(fd);
  return f;
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

MappedFile::~MappedFile() { Release(); }

void MappedFile::Release() {
  if (data_ != nullptr) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  data_ = nullptr;
  size_ = 0;
}

void MappedFile::AdviseSequential() const {
  if (data_ != nullptr) ::madvise(const_cast<std::uint8_t*>(data_), size_, MADV_SEQUENTIAL);
}

void MappedFile::AdviseRandom() const {
  if (data_ != nullptr) ::madvise(const_cast<std::uint8_t*>(data_), size_, MADV_RANDOM);
}

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
