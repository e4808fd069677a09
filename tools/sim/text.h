// Small text helpers of quillfort-sim.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qsim {

// The whole file, or nothing when it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);
std::string joined(const std::vector<std::string>& words);

} // namespace qsim
