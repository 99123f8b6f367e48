#include "common/file_lookup.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace hulvex {
namespace fs = std::filesystem;

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::optional<std::string> FindInDirectory(const std::string& dir, const std::string& name) {
  if (name.empty()) return std::nullopt;
  std::error_code ec;
  const fs::path exact = fs::path(dir) / name;
  if (fs::exists(exact, ec)) return exact.string();
  std::vector<std::string> matches;
  for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (EqualsIgnoringCase(entry, name)) matches.push_back(it->path().string());
  }
  if (matches.empty()) return std::nullopt;
  std::sort(matches.begin(), matches.end());
  return matches.front();
}

std::string SiblingPath(const std::string& runPath, std::string_view extension) {
  const std::string exact = runPath + std::string(extension);
  if (std::error_code ec; fs::exists(exact, ec)) return exact;
  const fs::path p(exact);
  const std::string dir = p.parent_path().string();
  const std::string stem = fs::path(runPath).filename().string();
  // The run's own spelling with the extension in another case ("run.hvx" for "run") before any
  // other spelling ("RUN.HVX"), so that the file chosen is the file read.
  std::vector<std::string> sameStem;
  std::error_code ec;
  for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (entry.size() == stem.size() + extension.size() && entry.starts_with(stem) &&
        EqualsIgnoringCase(std::string_view(entry).substr(stem.size()), extension))
      sameStem.push_back(it->path().string());
  }
  if (!sameStem.empty()) return *std::min_element(sameStem.begin(), sameStem.end());
  if (auto found = FindInDirectory(dir, p.filename().string())) return *found;
  return exact;
}

std::string RunPathOf(const std::string& given) {
  constexpr std::string_view kExt = ".hvx";
  if (given.size() > kExt.size() && EqualsIgnoringCase(std::string_view(given).substr(given.size() - kExt.size()), kExt))
    return given.substr(0, given.size() - kExt.size());
  return given;
}

std::string LastComponent(std::string_view path, std::string_view separators) {
  const auto pos = path.find_last_of(separators);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string DirectoryOf(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

std::string SharedDataDirectory(const std::string& programDir) {
  if (programDir.empty()) return {};
  fs::path dir = fs::path(programDir).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();  // a trailing separator
  return (dir.parent_path() / "share" / "hulvex").string();
}

}  // namespace hulvex
