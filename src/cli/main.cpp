// hulvex: the command-line tool. Exit 0 on success, 1 when the command fails, 2 on bad usage.
#include <iostream>

#include "cli/cli_support.h"

int main(int argc, char** argv) { return hulvex::cli::RunTool(argc, argv, std::cin, std::cout, std::cerr); }
