// tessaly-make-examples [DIR]: writes the bundled example drawings (by default
// into examples/ of the source tree).
#include <iostream>

#include "examples.h"

#ifndef TESSALY_EXAMPLES_DIR
#define TESSALY_EXAMPLES_DIR "examples"
#endif

int main(int argc, char** argv) {
  if (argc > 2 ||
      (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
    std::cerr << "usage: tessaly-make-examples [DIR]   (default: " TESSALY_EXAMPLES_DIR ")\n";
    return 2;
  }
  const std::filesystem::path dir = argc == 2 ? argv[1] : TESSALY_EXAMPLES_DIR;
  std::string error;
  if (!tessaly::gen::WriteExamples(dir, error)) {
    std::cerr << "tessaly-make-examples: " << error << "\n";
    return 1;
  }
  std::cout << "examples written to " << dir.string() << "\n";
  return 0;
}
