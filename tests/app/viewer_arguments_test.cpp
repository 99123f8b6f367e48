#include "app/viewer_arguments.h"

#include <gtest/gtest.h>

#include <vector>

namespace hulvex {
namespace {
using Action = ViewerArguments::Action;

TEST(ViewerArguments, RunsToCompareAndTheOptions) {
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::string runFile;
    std::size_t compared = 0;
  } cases[] = {
      {{}, Action::Start, ""},
      {{"RUN.HVX"}, Action::Start, "RUN.HVX"},
      {{"--check", "RUN.HVX"}, Action::Check, "RUN.HVX"},
      {{"RUN.HVX", "--check"}, Action::Check, "RUN.HVX"},
      {{"--", "-odd.HVX"}, Action::Start, "-odd.HVX"},
      {{"-"}, Action::Start, "-"},
      {{"--help"}, Action::Help, ""},
      {{"RUN.HVX", "-h"}, Action::Help, ""},
      {{"--bogus", "--version"}, Action::Version, ""},
      {{"--check"}, Action::BadUsage, ""},
      {{"--bogus", "RUN.HVX"}, Action::BadUsage, "RUN.HVX"},
      {{"-platform", "offscreen"}, Action::BadUsage, "offscreen"},
      {{"A.HVX", "B.HVX"}, Action::Start, "A.HVX", 1},
      {{"A", "B", "C", "D", "E", "F", "G", "H"}, Action::Start, "A", 7},
      {{"A", "B", "C", "D", "E", "F", "G", "H", "I"}, Action::BadUsage, "A", 8},
      {{"--check", "A.HVX", "B.HVX"}, Action::BadUsage, "A.HVX", 1},
      {{"--", "--help"}, Action::Start, "--help"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"hulvex-viewer"};
    for (const std::string& arg : c.args) argv.push_back(arg.c_str());
    const ViewerArguments a = ParseViewerArguments(static_cast<int>(argv.size()), argv.data());
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(a.action, c.action) << shown;
    EXPECT_EQ(a.RunFile, c.runFile) << shown;
    EXPECT_EQ(a.ComparedRuns.size(), c.compared) << shown;
    EXPECT_EQ(a.Problem.empty(), c.action != Action::BadUsage) << shown;
  }
}

}  // namespace
}  // namespace hulvex
