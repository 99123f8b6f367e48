#include "app/viewer_arguments.h"

#include <string_view>

namespace hulvex {
namespace {

ViewerArguments Only(ViewerArguments::Action action) {
  ViewerArguments a;
  a.action = action;
  return a;
}

}  // namespace

ViewerArguments ParseViewerArguments(int argc, const char* const* argv) {
  ViewerArguments a;
  bool check = false;
  bool optionsEnded = false;
  auto refuse = [&a](std::string problem) {
    a.action = ViewerArguments::Action::BadUsage;
    a.Problem = std::move(problem);
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
      if (arg == "-h" || arg == "--help") return Only(ViewerArguments::Action::Help);
      if (arg == "--version") return Only(ViewerArguments::Action::Version);
      if (arg == "--check") {
        check = true;
      } else if (arg == "--follow") {
        a.Follow = true;
      } else if (arg == "--") {
        optionsEnded = true;
      } else if (a.action != ViewerArguments::Action::BadUsage) {
        refuse("unknown option " + std::string(arg));
      }
      continue;
    }
    if (a.RunFile.empty()) {
      a.RunFile = arg;
    } else {
      a.ComparedRuns.emplace_back(arg);
    }
  }
  if (a.action == ViewerArguments::Action::BadUsage) return a;
  if (a.ComparedRuns.size() > 7) refuse("at most eight runs: RUN and seven to compare with it");
  else if (check && !a.ComparedRuns.empty()) refuse("--check takes one run");
  else if (check && a.RunFile.empty()) refuse("--check needs RUN");
  else if (a.Follow && a.RunFile.empty()) refuse("--follow needs RUN");
  else if (a.Follow && check) refuse("--follow and --check do not go together");
  else if (check) a.action = ViewerArguments::Action::Check;
  return a;
}

std::string ViewerHelp() {
  return "Usage: hulvex-viewer [OPTION]... [RUN [RUN2]...]\n"
         "View a stored HULVEX planing-boat run: step through its time history and play its\n"
         "motion back as a side view of the hull on the sea surface.\n"
         "\n"
         "RUN is the run's .HVX file (run parameters); its .TTS time history and .TXT case\n"
         "description share its path. It is opened after the start-up box, as if chosen with\n"
         "File > Open. Without RUN the viewer starts with no run open. Further runs (at most\n"
         "seven) are compared with RUN, as if added with File > Add Run to Compare: their\n"
         "curves overlay RUN's in the Channels window, their pictures follow RUN's clock.\n"
         "\n"
         "Options:\n"
         "  --check      open RUN without the start-up box and without waiting for the user,\n"
         "               print the messages of the open on stderr and whether the hull can be\n"
         "               drawn on stdout, then exit: 0 when the run opened and its hull can be\n"
         "               drawn, 1 otherwise (with QT_QPA_PLATFORM=offscreen it needs no display)\n"
         "  --follow     open RUN in follow mode (View > Follow): a run the simulator is still\n"
         "               writing; its new steps are read as they come (checked every second)\n"
         "  -h, --help   print this help and exit\n"
         "  --version    print the version and exit\n"
         "\n"
         "Files:\n"
         "The boat file and the spline files a run names are looked for in the run's directory,\n"
         "then in the program's directory, then in PREFIX/share/hulvex, where PREFIX is the\n"
         "directory above the program's (/usr for /usr/bin/hulvex-viewer); in each, the exact\n"
         "name first, then a match in any letter case.\n";
}

std::string ViewerVersion() { return std::string("hulvex-viewer ") + HULVEX_VERSION; }

}  // namespace hulvex
