// The few calls that reading a file needs of the system, one half for each
// platform; what is built on them (whole files, streams, signatures) is shared.
// Inside io only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "archive/message.h"

namespace tessaly::raw {

// Opens a regular file for reading and tells its size; never waits on a named
// pipe or a device. Answers -1 and says why ("cannot open: ...", "not a regular
// file") when it cannot.
std::intptr_t OpenRegular(const std::filesystem::path& path, std::uint64_t& size, Message& error);
// Reads at most n bytes; answers how many (0 at the end), or -1 with the reason.
long long Read(std::intptr_t file, std::uint8_t* into, std::size_t n, Message& error);
void Close(std::intptr_t file);
// The file's modification time (seconds and nanoseconds since 1970); false with
// the reason when it cannot be read.
bool ModificationTime(std::intptr_t file, std::int64_t& seconds, std::int64_t& nanoseconds,
                      Message& error);

// A number for a temporary name: a different one at every call in a process,
// and unlikely to be another process's. The system's random source is asked
// once (asking it for every file took a twentieth of a run of small drawings).
std::uint32_t UniqueNumber();

}  // namespace tessaly::raw
