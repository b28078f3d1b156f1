// tessaly-generate: writes large or many generated drawings, for benchmarks.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "generate.h"
#include "jww/header.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: tessaly-generate [options] OUT\n"
         "\n"
         "Writes a generated drawing to OUT, or with --copies N, N drawings\n"
         "OUT/drawing-0001.jww ... (OUT is created; figures: figure-0001.jws ...).\n"
         "\n"
         "  --entities N     entities in the main list, dimensions included (1000000)\n"
         "  --dimensions N   dimensions among them (100000)\n"
         "  --sxf-share F    share of SXF dimensions, from version 420 on (0.5)\n"
         "  --text-share F   share of texts among the entities (0.1)\n"
         "  --block-defs N   block definitions (100)\n"
         "  --version V      format version (600)\n"
         "  --wide           strings in the UTF-16 form\n"
         "  --figure         write a JWS figure instead of a drawing\n"
         "  --seed N         seed of the first drawing (1)\n"
         "  --copies N       write N drawings into the folder OUT\n";
}

bool Number(const std::string& text, double& out) {
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessaly;
  gen::LargeOptions o;
  long long copies = 0;
  bool figure = false;
  std::string out;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "-h" || a == "--help") {
      Usage(std::cout);
      return 0;
    }
    if (a == "--wide") {
      o.style.wide = true;
      continue;
    }
    if (a == "--figure") {
      figure = true;
      continue;
    }
    if (a.size() > 2 && a[0] == '-' && a[1] == '-') {
      double v = 0;
      if (i + 1 >= args.size() || !Number(args[i + 1], v) || v < 0) {
        std::cerr << "tessaly-generate: " << a << " needs a number\n";
        return 2;
      }
      ++i;
      if (a == "--entities") {
        o.entities = static_cast<std::int64_t>(v);
      } else if (a == "--dimensions") {
        o.dimensions = static_cast<std::int64_t>(v);
      } else if (a == "--sxf-share") {
        o.sxfShare = v;
      } else if (a == "--text-share") {
        o.textShare = v;
      } else if (a == "--block-defs") {
        o.blockDefs = static_cast<std::int32_t>(v);
      } else if (a == "--version") {
        o.style.version = static_cast<std::int32_t>(v);
      } else if (a == "--seed") {
        o.seed = static_cast<std::uint64_t>(v);
      } else if (a == "--copies") {
        copies = static_cast<long long>(v);
      } else {
        std::cerr << "tessaly-generate: unknown option " << a << "\n";
        return 2;
      }
      continue;
    }
    if (!out.empty()) {
      Usage(std::cerr);
      return 2;
    }
    out = a;
  }
  if (out.empty() || !IsSupportedJwwVersion(o.style.version)) {
    Usage(std::cerr);
    return 2;
  }

  MemoryImages store;
  TBoundImages images(store);
  TJwwData doc(images);
  std::string error;
  const auto t0 = std::chrono::steady_clock::now();
  std::uintmax_t bytes = 0;
  std::vector<std::filesystem::path> paths;
  if (copies > 0) {
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    for (long long n = 1; n <= copies; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, figure ? "figure-%04lld.jws" : "drawing-%04lld.jww", n);
      paths.push_back(std::filesystem::path(out) / name);
    }
  } else {
    paths.push_back(out);
  }
  for (const auto& p : paths) {
    bool ok;
    if (figure) {
      TJwsData fig;
      gen::BuildLargeFigure(fig, o);
      ok = gen::WriteFigure(fig, p, error);
    } else {
      gen::BuildLarge(doc, o);
      ok = gen::WriteDrawing(doc, p, error);
    }
    if (!ok) {
      std::cerr << "tessaly-generate: " << error << "\n";
      return 1;
    }
    bytes += std::filesystem::file_size(p);
    ++o.seed;
  }
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::cout << paths.size() << (paths.size() == 1 ? " drawing, " : " drawings, ") << bytes
            << " bytes in " << s << " s\n";
  return 0;
}
