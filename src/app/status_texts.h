// The texts a run shows in the main window's status bar.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace tessaly {

std::string BackingUpStatus(std::size_t i, std::size_t n, const std::filesystem::path& target);
std::string ConvertingStatus(std::size_t i, std::size_t n, const std::filesystem::path& source);
std::string FinishedStatus(std::size_t n);
std::string StoppedStatus();

}  // namespace tessaly
