// The version set in project() of CMakeLists.txt, as CMake hands it to the
// tests (TESSALY_PROJECT_VERSION), and what it must look like where the program
// shows it. Worked out here on its own, not read from the generated header, so
// that a place that shows another number, or the caption's form, fails.
#pragma once

#include <cstdio>
#include <string>

namespace tessaly::test {

struct ProjectVersion {
  int major = -1, minor = -1, patch = -1;
  std::string text = TESSALY_PROJECT_VERSION;
};

inline ProjectVersion Project() {
  ProjectVersion v;
  std::sscanf(v.text.c_str(), "%d.%d.%d", &v.major, &v.minor, &v.patch);
  return v;
}

// "Tessaly Ver.1.01" for 1.1.x: the minor version in two digits.
inline std::string ExpectedCaption() {
  const ProjectVersion v = Project();
  char caption[48];
  std::snprintf(caption, sizeof caption, "Tessaly Ver.%d.%02d", v.major, v.minor);
  return caption;
}

}  // namespace tessaly::test
