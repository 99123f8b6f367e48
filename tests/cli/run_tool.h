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

inline ToolResult RunCli(std::vector<std::string> args, const std::string& input = "") {
  args.insert(args.begin(), "hulvex");
  std::vector<const char*> argv;
  for (const auto& a : args) argv.push_back(a.c_str());
  std::istringstream in(input);
  std::ostringstream out, err;
  const int code = RunTool(static_cast<int>(argv.size()), argv.data(), in, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace hulvex::cli::test
