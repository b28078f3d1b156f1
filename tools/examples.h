// The drawings bundled in examples/, made with the program's own writer.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace tessaly::gen {

// The versions whose layouts differ: one example drawing each.
constexpr std::array<std::int32_t, 9> kMajorVersions = {220, 223, 225, 230, 300,
                                                        351, 420, 600, 700};

// Writes plan.jww, image.jww, figure.jws and versions/vNNN.jww into `dir`
// (created when missing). The same bytes every time. Answers false with the
// reason.
bool WriteExamples(const std::filesystem::path& dir, std::string& error);

}  // namespace tessaly::gen
