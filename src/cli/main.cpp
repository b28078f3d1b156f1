#include <iostream>

#include "cli/cli.h"
#include "io/console.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return tessaly::cli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                           tessaly::ErrorOutputIsTerminal());
}
