// The version is set once, in project(): every place the program shows it
// agrees with that number. (tests/gui/win32 checks the Windows resources.)
#include "app/version.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/window_form.h"
#include "cli/cli.h"
#include "support/project_version.h"

namespace tessaly {
namespace {

TEST(Version, EveryPlaceShowsTheProjectVersion) {
  const test::ProjectVersion v = test::Project();
  ASSERT_GE(v.minor, 0) << "not a version: " << v.text;
  std::ostringstream out, err;
  ASSERT_EQ(cli::Run({"--version"}, out, err), 0);
  const std::string numbers = std::to_string(TESSALY_VERSION_MAJOR) + "." +
                              std::to_string(TESSALY_VERSION_MINOR) + "." +
                              std::to_string(TESSALY_VERSION_PATCH);
  const struct {
    const char* place;
    std::string shown, expected;
  } rows[] = {
      {"the main window's caption", std::string(MainForm().caption), test::ExpectedCaption()},
      {"tessaly-cli --version", out.str(), "tessaly-cli " + v.text + "\n"},
      {"the header's text", TESSALY_VERSION, v.text},
      {"the header's numbers (the resources' FILEVERSION)", numbers, v.text},
  };
  for (const auto& r : rows) EXPECT_EQ(r.shown, r.expected) << r.place;
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace tessaly
