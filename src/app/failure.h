// Why a file of a run was not converted (or was passed over), as a stable code
// with its parameters beside the English text a person reads: a program can
// read the code, and a front end can word the reason in its own language from
// the code and the parameters, without a second path through the driver.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "archive/message.h"

namespace tessaly {

struct LoadResult;
class WriteError;

enum class FailureCode : std::uint8_t {
  kNone,
  // Before anything is read: the file named, or a folder walked.
  kNoSuchFile,        // nothing of that name
  kLinkToNothing,     // a link whose file is gone
  kIsFolder,          // `role` is a folder
  kNotRegularFile,    // `role` is a device, a pipe, ...
  kCannotExamine,     // the system cannot say what `role` is
  kCannotOpen,        // the source cannot be opened for reading
  kCannotReadFolder,  // a folder named cannot be listed
  kNotConvertible,    // a file of another type: passed over, not failed
  kOutsideBase,       // not below the folder its place in the output is taken from
  // Reading the source.
  kNotThisFormat,     // it does not begin with its format's signature
  kVersionTooOld,     // a version older than the format's oldest
  kVersionNoLayout,   // a version whose header has no defined layout
  kTruncated,         // it ends early (`offset`, `record`)
  kMalformed,         // a value the format does not allow (`offset`, `record`)
  kUnreadable,        // the system could not give its bytes
  kChangedWhileRead,  // another program changed it while it was read
  kTooLarge,          // more than this machine can address
  kImages,            // its embedded images could not be kept
  kOutOfMemory,
  // The files a conversion writes (`role`: the target or the backup).
  kReadOnly,            // marked read-only
  kCannotCreateFolder,  // the destination's subfolder cannot be made
  kCannotBeWritten,     // the document cannot be written as it is
  kCannotCreate,        // the new file cannot be made beside it
  kCannotWrite,
  kCannotSetAttributes,
  kCannotFlush,
  kCannotReplace,
  // Two files of one run (`other` is the earlier).
  kNamedTwice,
  kSameTarget,
  kSameBackup,
};

// The file a failure is about.
enum class FileRole : std::uint8_t { kSource, kTarget, kBackup, kFolder };

struct Failure {
  FailureCode code = FailureCode::kNone;
  FileRole role = FileRole::kSource;
  std::filesystem::path file;   // the file it is about
  std::filesystem::path other;  // for two files: the other one
  std::optional<std::uint64_t> offset;
  std::string record;  // the record of the file it was found in
  std::string system;  // the system's own words, when the system failed
  Message message;     // the whole reason, to be said in any language
  std::string text;    // the same in English

  explicit operator bool() const { return code != FailureCode::kNone; }
  // Sets the reason (and its English text).
  Failure& Say(Message m) {
    text = m.English();
    message = std::move(m);
    return *this;
  }
};

// The code's name for programs ("no-such-file"): stable across versions and
// languages.
std::string_view CodeName(FailureCode code);
inline std::ostream& operator<<(std::ostream& out, FailureCode code) { return out << CodeName(code); }

// A failed load of `source`, as the load found it.
Failure LoadFailure(const LoadResult& load, const std::filesystem::path& source);
// A write of `file` (the target or its backup) that failed; `around`, when
// given, says the reason in a pattern of its own ({why}).
Failure WriteFailure(const WriteError& e, FileRole role, const std::filesystem::path& file,
                     Message around = {});
// The run's memory ran out.
Failure OutOfMemory(const std::filesystem::path& file);

// A value, or why there is none.
template <typename T>
class Result {
 public:
  Result(T value) : v_(std::move(value)) {}  // NOLINT: a result is made from its value
  Result(Failure failure) : v_(std::move(failure)) {}  // NOLINT: or from its failure

  explicit operator bool() const { return v_.index() == 0; }
  T& operator*() { return std::get<0>(v_); }
  T* operator->() { return &std::get<0>(v_); }
  const Failure& failure() const { return std::get<1>(v_); }

 private:
  std::variant<T, Failure> v_;
};

}  // namespace tessaly
