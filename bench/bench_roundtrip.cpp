// tessaly-bench-roundtrip FILE OUT: loads a drawing or a figure (by its
// extension, .jws a figure) and saves it in its own version, as a conversion
// reads and writes files but without the dissolve, and says how long each step
// took. Run it under /usr/bin/time -v for the peak memory of a fresh process.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "app/document_files.h"
#include "app/run.h"
#include "io/page_warmer.h"
#include "jws/jws_data.h"
#include "jww/images.h"
#include "jww/jww_data.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

template <typename Doc>
int RoundTrip(Doc& doc, const char* in, const char* out) {
  tessaly::PageWarmer warmer;
  const auto t0 = Clock::now();
  if (tessaly::Failure f = tessaly::LoadFile(doc, in, &warmer)) {
    std::cerr << in << ": " << f.text << "\n";
    return 1;
  }
  const auto t1 = Clock::now();
  if (tessaly::Failure f = tessaly::SaveFile(doc, out, doc.Version())) {
    std::cerr << out << ": " << f.text << "\n";
    return 1;
  }
  const auto t2 = Clock::now();
  std::printf("load %.6f save %.6f\n", Seconds(t0, t1), Seconds(t1, t2));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: tessaly-bench-roundtrip FILE OUT\n";
    return 2;
  }
  if (tessaly::UpperExtension(argv[1]) == ".JWS") {
    tessaly::TJwsData fig;
    return RoundTrip(fig, argv[1], argv[2]);
  }
  tessaly::MemoryImages store;
  tessaly::TBoundImages images(store);
  tessaly::TJwwData doc(images);
  return RoundTrip(doc, argv[1], argv[2]);
}
