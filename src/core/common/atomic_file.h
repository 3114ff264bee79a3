#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace evm {

// Writes to a temporary file beside the target and renames it over the old
// one, so a crash or a full disk never leaves half a file. False when any
// step failed; the old file is then untouched.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content);

// Whole file as bytes; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path);

}  // namespace evm
