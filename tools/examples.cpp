#include "examples.h"

#include "generate.h"
#include "jws/jws_data.h"
#include "jww/images.h"
#include "jww/jww_data.h"

namespace tessaly::gen {
namespace fs = std::filesystem;

bool WriteExamples(const fs::path& dir, std::string& error) {
  std::error_code ec;
  fs::create_directories(dir / "versions", ec);
  if (ec) {
    error = "cannot create " + (dir / "versions").string() + ": " + ec.message();
    return false;
  }
  MemoryImages store;
  TBoundImages images(store);
  TJwwData doc(images);

  BuildPlan(doc, Style{600});
  if (!WriteDrawing(doc, dir / "plan.jww", error)) return false;

  try {
    BuildImageSample(doc, Style{700});
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
  if (!WriteDrawing(doc, dir / "image.jww", error)) return false;
  images.Clear();

  for (std::int32_t v : kMajorVersions) {
    BuildVersionSample(doc, Style{v});
    if (!WriteDrawing(doc, dir / "versions" / (std::string("v") + std::to_string(v) + ".jww"),
                      error))
      return false;
  }

  TJwsData fig;
  BuildFigure(fig, Style{600});
  return WriteFigure(fig, dir / "figure.jws", error);
}

}  // namespace tessaly::gen
