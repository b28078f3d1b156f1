// What the fuzz targets share: a private working folder for embedded images,
// kept there as a conversion keeps them, the clean-up after each input, the
// check that stops the run on a broken promise (a crash is what libFuzzer
// keeps as a finding), and the load of a document from the input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "app/working_images.h"
#include "archive/ports.h"
#include "entities/document.h"
#include "io/working_folder.h"
#include "jww/images.h"

namespace tessaly::fuzz {

// Stops the run with a message: the input is kept as a crash.
[[noreturn]] inline void Broken(const char* what, const std::string& detail = {}) {
  std::fprintf(stderr, "fuzz: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
  std::abort();
}

#define TESSALY_FUZZ_CHECK(cond, detail)                   \
  do {                                                     \
    if (!(cond)) ::tessaly::fuzz::Broken(#cond, (detail)); \
  } while (0)

// One working folder for the whole process, made on first use (under $TMPDIR,
// removed when the process ends normally).
inline const std::filesystem::path& WorkDir() {
  static WorkingFolder folder;
  static const std::filesystem::path path = [] {
    Message why;
    if (!folder.Create(why)) Broken("cannot make the working folder", why.English());
    return folder.Path();
  }();
  return path;
}

// The images of a drawing, kept as working files as a conversion keeps them.
// After each input, as after each file of a run, Clear removes them, so that
// one input cannot leave files for the next.
struct WorkingImages {
  WorkingFolderImages store{WorkDir()};
  TBoundImages images{store};
};

// Nothing but the working files the list names may be left in a folder.
inline void CheckEmpty(const std::filesystem::path& folder) {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    Broken("a file was left behind", e.path().string());
  }
}

// Every input must load or fail cleanly with a reason, and one that loads must
// also write (or refuse with a WriteError) without harm.
template <typename Doc>
void LoadAndWrite(Doc& doc, std::span<const std::uint8_t> input) {
  if (const LoadResult r = doc.Load(input)) {
    StringSink out;
    try {
      doc.Write(out, doc.Version());
    } catch (const WriteError&) {
    }
  } else {
    TESSALY_FUZZ_CHECK(!r.message.empty(), "a failed load without a reason");
    TESSALY_FUZZ_CHECK(r.offset <= input.size(), "a failure beyond the input");
  }
}

}  // namespace tessaly::fuzz
