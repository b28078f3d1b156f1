#include "app/document_files.h"


#include "io/file_state.h"

namespace tessaly {
namespace {

// Why a path cannot be read as a file, worded by what it names.
Failure NotReadable(const std::filesystem::path& path, const Message& openError) {
  Failure f;
  f.file = path;
  const FileState st = Inspect(path);
  switch (st.kind) {
    case FileState::kMissing:
      f.code = FailureCode::kNoSuchFile;
      f.Say(Message("no such file"));
      break;
    case FileState::kUnknown:
      f.code = FailureCode::kCannotExamine;
      f.system = st.error;
      f.Say(Message("cannot examine the file: {system}").Set("system", st.error));
      break;
    case FileState::kFolder:
      f.code = FailureCode::kIsFolder;
      f.Say(Message("is a folder"));
      break;
    case FileState::kOther:
      f.code = FailureCode::kNotRegularFile;
      f.Say(Message("not a regular file"));
      break;
    case FileState::kRegular:
      f.code = FailureCode::kCannotOpen;
      f.Say(openError);
      for (const auto& [name, value] : openError.Args()) {
        if (name == "system") f.system = value.Pattern();
      }
      break;
  }
  return f;
}

}  // namespace

Result<std::unique_ptr<SourceFile>> SourceFile::Open(const std::filesystem::path& path) {
  std::unique_ptr<SourceFile> file(new SourceFile(path));
  Message error;
  if (!file->stream_.Open(path, error)) return NotReadable(path, error);
  return file;
}

Failure SourceFile::Finish(bool whole) {
  Message error;
  if (stream_.Finish(whole, error)) return {};
  Failure f;
  f.code = stream_.Changed() ? FailureCode::kChangedWhileRead : FailureCode::kUnreadable;
  f.file = path_;
  if (!stream_.Changed()) f.system = error.English();
  f.Say(std::move(error));
  return f;
}

}  // namespace tessaly
