#include "cli/cli.h"

#include <filesystem>

#include "app/working_folder.h"
#include "cli/info.h"

namespace tessaly::cli {
namespace {

constexpr const char* kVersion = "0.1.0";

void Usage(std::ostream& out) {
  out << "usage: tessaly-cli --info FILE...\n"
         "\n"
         "Shows what a JWW drawing holds.\n"
         "\n"
         "  --info       print a summary of each file\n"
         "  -h, --help   show this help\n"
         "  --version    show the version\n";
}

}  // namespace

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool info = false;
  std::vector<std::string> files;
  bool options = true;
  for (const auto& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && (a == "-h" || a == "--help")) {
      Usage(out);
      return 0;
    } else if (options && a == "--version") {
      out << "tessaly-cli " << kVersion << "\n";
      return 0;
    } else if (options && a == "--info") {
      info = true;
    } else if (options && a.size() > 1 && a[0] == '-') {
      err << "tessaly-cli: unknown option " << a << "\n";
      Usage(err);
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (!info || files.empty()) {
    Usage(err);
    return 2;
  }
  WorkingFolder work;
  std::string why;
  if (!work.Create(why)) {
    err << "tessaly-cli: " << why << "\n";
    return 1;
  }
  int status = 0;
  for (const auto& f : files) {
    if (!PrintInfo(f, work.Path(), out)) status = 1;
  }
  return status;
}

}  // namespace tessaly::cli
