#include "app/failure.h"

#include "archive/ports.h"
#include "entities/document.h"

namespace tessaly {

std::string_view CodeName(FailureCode code) {
  switch (code) {
    case FailureCode::kNone: return "none";
    case FailureCode::kNoSuchFile: return "no-such-file";
    case FailureCode::kLinkToNothing: return "link-to-nothing";
    case FailureCode::kIsFolder: return "is-a-folder";
    case FailureCode::kNotRegularFile: return "not-a-regular-file";
    case FailureCode::kCannotExamine: return "cannot-examine";
    case FailureCode::kCannotOpen: return "cannot-open";
    case FailureCode::kCannotReadFolder: return "cannot-read-folder";
    case FailureCode::kNotConvertible: return "not-convertible";
    case FailureCode::kOutsideBase: return "outside-base";
    case FailureCode::kNotThisFormat: return "not-this-format";
    case FailureCode::kVersionTooOld: return "version-too-old";
    case FailureCode::kVersionNoLayout: return "version-without-layout";
    case FailureCode::kTruncated: return "truncated";
    case FailureCode::kMalformed: return "malformed";
    case FailureCode::kUnreadable: return "unreadable";
    case FailureCode::kChangedWhileRead: return "changed-while-read";
    case FailureCode::kTooLarge: return "too-large";
    case FailureCode::kImages: return "embedded-images";
    case FailureCode::kOutOfMemory: return "out-of-memory";
    case FailureCode::kReadOnly: return "read-only";
    case FailureCode::kCannotCreateFolder: return "cannot-create-folder";
    case FailureCode::kCannotBeWritten: return "cannot-be-written";
    case FailureCode::kCannotCreate: return "cannot-create";
    case FailureCode::kCannotWrite: return "cannot-write";
    case FailureCode::kCannotSetAttributes: return "cannot-set-attributes";
    case FailureCode::kCannotFlush: return "cannot-flush";
    case FailureCode::kCannotReplace: return "cannot-replace";
    case FailureCode::kNamedTwice: return "named-twice";
    case FailureCode::kSameTarget: return "same-target";
    case FailureCode::kSameBackup: return "same-backup";
  }
  return "unknown";
}

Failure LoadFailure(const LoadResult& load, const std::filesystem::path& source) {
  using S = LoadResult::Status;
  Failure f;
  f.file = source;
  f.Say(load.reason);
  f.record = load.record;
  f.system = load.system;
  switch (load.status) {
    case S::kOk: f.code = FailureCode::kNone; break;
    case S::kNotThisFormat: f.code = FailureCode::kNotThisFormat; break;
    case S::kTooOld: f.code = FailureCode::kVersionTooOld; break;
    case S::kNoLayout: f.code = FailureCode::kVersionNoLayout; break;
    case S::kTruncated: f.code = FailureCode::kTruncated; break;
    case S::kMalformed: f.code = FailureCode::kMalformed; break;
    case S::kUnreadable: f.code = FailureCode::kUnreadable; break;
    case S::kImages: f.code = FailureCode::kImages; break;
    case S::kTooLarge: f.code = FailureCode::kTooLarge; break;
    case S::kOutOfMemory: f.code = FailureCode::kOutOfMemory; break;
  }
  if (load.status != S::kOk && load.status != S::kNotThisFormat) f.offset = load.offset;
  return f;
}

Failure WriteFailure(const WriteError& e, FileRole role, const std::filesystem::path& file, Message around) {
  using Step = WriteError::Step;
  Failure f;
  switch (e.step()) {
    case Step::kContent: f.code = FailureCode::kCannotBeWritten; break;
    case Step::kCreate: f.code = FailureCode::kCannotCreate; break;
    case Step::kWrite: f.code = FailureCode::kCannotWrite; break;
    case Step::kAttributes: f.code = FailureCode::kCannotSetAttributes; break;
    case Step::kFlush: f.code = FailureCode::kCannotFlush; break;
    case Step::kRead: f.code = FailureCode::kUnreadable; break;
    // The checks before the write found the target replaceable: when it no
    // longer is, it cannot be replaced.
    case Step::kTarget:
    case Step::kReplace: f.code = FailureCode::kCannotReplace; break;
  }
  f.role = role;
  f.file = file;
  f.system = e.system();
  f.Say(around.empty() ? e.message() : std::move(around).Set("why", e.message()));
  return f;
}

Failure OutOfMemory(const std::filesystem::path& file) {
  Failure f;
  f.code = FailureCode::kOutOfMemory;
  f.file = file;
  f.Say(Message("out of memory"));
  return f;
}

}  // namespace tessaly
