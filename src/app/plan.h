// What a run is asked to convert, worked out before anything is read: the files
// named and the drawings below the folders named, each with its destination,
// and the checks that no two of them would write the same file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/convert.h"

namespace tessaly {

struct Plan {
  std::vector<ConvertItem> items;
  std::vector<Failure> failures;                    // inputs that fail before anything is read
  std::vector<std::size_t> failedBefore;            // of each failure: the items before it
  std::vector<std::filesystem::path> emptyFolders;  // folders named with nothing to take below them
};

// Adds what one input names to a plan. A file is taken as it is named (the run
// skips or refuses what no format takes); a folder gives the regular files below
// it whose extension a format takes, in name order, links not followed. With an
// output folder each file goes there, a folder's subfolders made again under it
// (the output folder itself is passed over when it lies inside the folder).
// With a base folder as well, every file, named or found, goes to its folder's
// place below the base made again under the output folder, so that any split
// of a tree's files over several runs writes the tree one run writes; a file
// not below the base fails.
class PlanWalker {
 public:
  PlanWalker(const Converter& converter, std::optional<std::filesystem::path> outputDir, Plan& plan,
             std::optional<std::filesystem::path> base = std::nullopt);

  void Input(const std::filesystem::path& input);

 private:
  void Folder(const std::filesystem::path& folder, const std::filesystem::path& relative);
  void Fail(Failure f);
  // The place of a file's folder below the base, or nothing.
  std::optional<std::filesystem::path> BelowBase(const std::filesystem::path& folder) const;

  const Converter& converter_;
  std::optional<std::filesystem::path> outputDir_;
  std::optional<std::filesystem::path> base_;  // absolute
  std::string outputKey_;
  Plan& plan_;
};

Plan MakePlan(const Converter& converter, const std::vector<std::string>& inputs,
              const std::optional<std::filesystem::path>& outputDir,
              const std::optional<std::filesystem::path>& base = std::nullopt);

// True when no file of the list is another's target or backup, nor listed
// twice: then a file may be read while the one before is put in place.
bool MayOverlap(const Converter& converter, const std::vector<ConvertItem>& items);

// An item that would write where an earlier one writes.
struct Clash {
  enum Kind { kSameFile, kSameTarget, kSameBackup };
  Kind kind;
  std::size_t item;             // the later item
  std::size_t first;            // the earlier one
  std::filesystem::path where;  // the target or the backup both would write
};

// Two items must never write the same target or the same backup: the second
// would overwrite the first's result, or the backup of the original. Answers
// every item that clashes with an earlier one, in order. With `sameFileInPlace`
// a file listed again and converted in its own folder is no clash: the second
// time finds nothing to dissolve and leaves it alone.
std::vector<Clash> FindClashes(const Converter& converter, const std::vector<ConvertItem>& items,
                               bool sameFileInPlace);

// The clashes of a plan (a file named twice, two files written to one target,
// or backed up to one backup), each said of its later file.
std::vector<Failure> FindClashes(const Converter& converter, const Plan& plan);

// "no .jww or .jws drawings found in DIR" for each folder with none.
std::vector<Message> EmptyFolderNotes(const Converter& converter, const Plan& plan);

}  // namespace tessaly
