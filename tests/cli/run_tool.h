// Runs the command-line tool in-process for tests, and splits its output.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_support.h"

namespace hulvex::cli::test {

struct ToolResult {
  int code;
  std::string out;
  std::string err;
};

inline ToolResult RunCli(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "hulvex");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = RunTool(static_cast<int>(argv.size()), argv.data(), in, out, err);
  return {code, out.str(), err.str()};
}

// The lines of the tool's output, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The cells of a CSV line without quoted fields; a line ending with a comma ends with an empty cell.
inline std::vector<std::string> CsvCells(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream fields(line);
  for (std::string cell; std::getline(fields, cell, ',');) cells.push_back(cell);
  if (!line.empty() && line.back() == ',') cells.emplace_back();
  return cells;
}

}  // namespace hulvex::cli::test
