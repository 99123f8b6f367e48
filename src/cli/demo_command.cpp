// make-demo: writes the demonstration runs, each complete with its boat and spline files.
#include <ostream>

#include "cli/cli_support.h"
#include "demo/demo_runs.h"

namespace hulvex::cli {

void RegisterDemoCommand(Tool& tool) {
  auto dir = std::make_shared<std::string>();
  CLI::App* cmd = AddCommand(tool, "make-demo", "Write the demonstration runs into DIR", [=] {
    return CommandBody([=](std::istream&, std::ostream& out, Diagnostics&) {
      for (const std::string& runPath : demo::WriteDemoRuns(*dir)) out << "wrote " << runPath << ".HVX\n";
      return 0;
    });
  });
  cmd->add_option("DIR", *dir, "Directory to write the runs into (created if missing)")->required();
}

}  // namespace hulvex::cli
