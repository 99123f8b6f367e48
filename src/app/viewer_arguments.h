// The viewer's command line, read before the application object exists, so that --help and
// --version work without a display.
#pragma once

#include <string>
#include <vector>

namespace hulvex {

struct ViewerArguments {
  enum class Action {
    Start,    // the start-up box, then the main window; RunFile opened when given
    Check,    // open RunFile without the start-up box, report, exit (CheckRun)
    Help,     // print ViewerHelp()
    Version,  // print ViewerVersion()
    BadUsage  // print Problem and a pointer to --help; exit status 2
  };
  Action action = Action::Start;
  std::string RunFile;  // as given on the command line; empty when none
  std::vector<std::string> ComparedRuns;  // the further runs, compared with RunFile
  bool Follow = false;  // --follow: RunFile is opened and kept in follow mode (View > Follow)
  std::string Problem;
};

// argv[0] is the program. Options: -h/--help and --version (the first one seen wins), --check
// (needs RUN, and only one), --follow (needs RUN; not with --check). RUN, then optionally runs to compare with it (at most seven); after
// "--" every argument is taken as a run. Any other argument that starts with '-' is refused.
ViewerArguments ParseViewerArguments(int argc, const char* const* argv);

// The text --help prints (usage, the argument, the options, where boat files are looked for).
std::string ViewerHelp();

// "hulvex-viewer VERSION".
std::string ViewerVersion();

}  // namespace hulvex
