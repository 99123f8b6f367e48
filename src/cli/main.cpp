// hulvex: the command-line tool. Exit 0 on success, 1 when the command fails, 2 on bad usage.
#include <iostream>

#include "cli/cli_support.h"
#include "common/vector_state.h"

int main(int argc, char** argv) {
  hulvex::ClearUpperVectorState();  // the libraries' start-up may leave them in use
  return hulvex::cli::RunTool(argc, argv, std::cin, std::cout, std::cerr);
}
