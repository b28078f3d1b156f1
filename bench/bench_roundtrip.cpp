// tessaly-bench-roundtrip FILE OUT: loads a drawing or a figure and saves it in
// its own version, nothing else, and says how long each step took. Run it under
// /usr/bin/time -v for the peak memory of a fresh process.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "io/working_folder.h"
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
  const auto t0 = Clock::now();
  if (!doc.Load(in)) {
    std::cerr << in << ": " << doc.Error() << "\n";
    return 1;
  }
  const auto t1 = Clock::now();
  if (!doc.Save(out, doc.Version())) {
    std::cerr << out << ": " << doc.Error() << "\n";
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
  if (tessaly::TJwsData::IsJwsFile(argv[1])) {
    tessaly::TJwsData fig;
    return RoundTrip(fig, argv[1], argv[2]);
  }
  tessaly::WorkingFolder work;
  std::string error;
  if (!work.Create(error)) {
    std::cerr << error << "\n";
    return 1;
  }
  tessaly::TBoundImages images(work.Path());
  tessaly::TJwwData doc(images);
  return RoundTrip(doc, argv[1], argv[2]);
}
