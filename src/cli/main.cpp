#include <iostream>

#include "cli/cli.h"
#include "io/console.h"
#include "io/path_text.h"

#ifdef _WIN32
// The arguments as the system has them, in UTF-16: narrow ones would arrive in
// the ANSI code page and lose every name outside it.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(tessaly::PathToUtf8(std::filesystem::path(argv[i])));
#else
int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
#endif
  std::ios::sync_with_stdio(false);
  tessaly::UseUtf8Console();
  return tessaly::cli::Run(args, std::cout, std::cerr, tessaly::ErrorOutputIsTerminal(), {},
                           tessaly::UserLanguageIsJapanese() ? tessaly::Language::kJapanese
                                                             : tessaly::Language::kEnglish);
}
