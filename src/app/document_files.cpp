#include "app/document_files.h"

#include <string>

#include "io/file_state.h"

namespace tessaly {
namespace {

// Why a path cannot be read as a file, worded by what it names.
Failure NotReadable(const std::filesystem::path& path, const std::string& openError) {
  Failure f;
  f.file = path;
  const FileState st = Inspect(path);
  switch (st.kind) {
    case FileState::kMissing:
      f.code = FailureCode::kNoSuchFile;
      f.text = "no such file";
      break;
    case FileState::kUnknown:
      f.code = FailureCode::kCannotExamine;
      f.system = st.error;
      f.text = "cannot examine the file: " + st.error;
      break;
    case FileState::kFolder:
      f.code = FailureCode::kIsFolder;
      f.text = "is a folder";
      break;
    case FileState::kOther:
      f.code = FailureCode::kNotRegularFile;
      f.text = "not a regular file";
      break;
    case FileState::kRegular:
      f.code = FailureCode::kCannotOpen;
      f.text = openError;
      f.system = openError.rfind("cannot open: ", 0) == 0 ? openError.substr(13) : openError;
      break;
  }
  return f;
}

}  // namespace

Result<std::unique_ptr<SourceFile>> SourceFile::Open(const std::filesystem::path& path) {
  std::unique_ptr<SourceFile> file(new SourceFile(path));
  std::string error;
  if (!file->stream_.Open(path, error)) return NotReadable(path, error);
  return file;
}

Failure SourceFile::Finish(bool whole) {
  std::string error;
  if (stream_.Finish(whole, error)) return {};
  Failure f;
  f.code = stream_.Changed() ? FailureCode::kChangedWhileRead : FailureCode::kUnreadable;
  f.file = path_;
  if (!stream_.Changed()) f.system = error;
  f.text = error;
  return f;
}

}  // namespace tessaly
