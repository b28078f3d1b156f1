// What a run that was killed leaves behind, and its removal by a later run:
// the temporary files beside targets and backups (".NAME.PID.XXXXXXXX.tmp",
// hidden on Windows) and the working folders under the temporary folder
// ("tessaly-PID-..."). Each is known by exactly that naming and by the process
// number in it; it goes only once that process is gone, so that a file a live
// run is still writing is never touched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace tessaly {

// The number of the process that made a temporary file of a target, from its
// name; nothing when the name is not of that form.
std::optional<std::uint64_t> TemporaryFileOwner(std::string_view name);
// The same of a working folder's name.
std::optional<std::uint64_t> WorkingFolderOwner(std::string_view name);

// True when no process of that number runs on this machine (a number the
// system cannot answer for counts as running; this process never is gone).
bool ProcessIsGone(std::uint64_t pid);

// True while a process, on this machine or on another one sharing the folder,
// still holds the temporary file open to write it (it cannot tell: true).
bool BeingWritten(const std::filesystem::path& file);

// Removes, in `folder`, the temporary files of processes that are gone and
// that nobody writes any more; answers how many. Failures are ignored: what cannot go stays for the next run.
std::size_t RemoveLeftTemporaryFiles(const std::filesystem::path& folder);
// Removes, in `base`, the working folders of processes that are gone, with
// everything in them; answers how many.
std::size_t RemoveLeftWorkingFolders(const std::filesystem::path& base);

}  // namespace tessaly
