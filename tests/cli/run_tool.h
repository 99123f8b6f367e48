// Runs the command-line tool in-process for tests.
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

inline ToolResult RunCli(std::vector<std::string> args) {
  args.insert(args.begin(), "hulvex");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = RunTool(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

}  // namespace hulvex::cli::test
