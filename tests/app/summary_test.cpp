// The summary --info prints: of a figure, and the failures of files that are
// not one.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "app/summary.h"
#include "jws/figure_bytes.h"
#include "support/temp_dir.h"

namespace tessaly {
namespace {

// The summary, or the failure; a failure goes to the error output alone.
std::string Info(const std::filesystem::path& file, bool expectOk) {
  std::ostringstream out, err;
  EXPECT_EQ(PrintSummary(file, Language::kEnglish, out, err), expectOk) << out.str() << err.str();
  EXPECT_EQ((expectOk ? err : out).str(), "");
  return expectOk ? out.str() : err.str();
}

TEST(Summary, DescribesAFigure) {
  test::TempDir dir;
  test::FigureContents figure;
  figure.blockNumber = 5;
  test::WriteFile(dir / "a.jws", test::BuildFigure(figure));
  const std::string name = (dir / "a.jws").string();
  EXPECT_EQ(Info(dir / "a.jws", true),
            name +
                ": JWS figure, version 600\n"
                "  main list: 4 entities (1 line, 1 text, 1 dimension, 1 block insertion)\n"
                "  block definitions: 1 used / 1 in all, holding 2 entities (1 line, 1 text)\n"
                "  dimensions: 1 (1 in the main list, 0 in block definitions)\n");
}

TEST(Summary, FailuresNameTheFile) {
  test::TempDir dir;
  std::string cut = test::BuildFigure(test::FigureContents{});
  cut.resize(600);
  test::WriteFile(dir / "cut.jws", cut);
  test::WriteFile(dir / "other.jws", "neither a drawing nor a figure");
  const std::string cutName = (dir / "cut.jws").string(), otherName = (dir / "other.jws").string();

  const std::string a = Info(dir / "cut.jws", false);
  EXPECT_EQ(a.rfind(cutName + ": truncated at byte offset ", 0), 0u) << a;
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 1);
  EXPECT_EQ(Info(dir / "other.jws", false), otherName + ": not a JWW drawing or JWS figure\n");
}

}  // namespace
}  // namespace tessaly
