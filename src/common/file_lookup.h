// Finding the run's files: runs come from Windows machines, the viewer runs where names are
// case-sensitive.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hulvex {

// The file called `name` in `dir`: the exact name if it exists, else the first entry (in name
// order) whose name matches case-insensitively (ASCII letters only). Nothing when neither exists.
std::optional<std::string> FindInDirectory(const std::string& dir, const std::string& name);

// The run file `runPath` + `extension` (for example ".TTS"): the exact path if it exists, else
// the run's name followed by the extension in another letter case, else a case-insensitive match
// of the whole name beside it; when none exists, the exact path, so that the error that follows
// names the file that was looked for.
std::string SiblingPath(const std::string& runPath, std::string_view extension);

// The run path (the path without extension) of a run given as its ".HVX" file, in any letter
// case, or already without extension.
std::string RunPathOf(const std::string& given);

// The text after the last of `separators` in `path` (the whole text when none occurs).
std::string LastComponent(std::string_view path, std::string_view separators);

// The directory part of `path` ("." when it has none).
std::string DirectoryOf(const std::string& path);

// The shared data directory of a program installed as PREFIX/bin/PROGRAM: PREFIX/share/hulvex,
// where `programDir` is the directory the program runs from (its parent is taken as PREFIX).
// Empty when `programDir` is empty.
std::string SharedDataDirectory(const std::string& programDir);

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace hulvex
