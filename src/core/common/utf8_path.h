// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace evm {

// File names travel through the program as UTF-8 text. Turning such text into
// a path (or back) directly would go through the ANSI code page on Windows and
// break names such as C:\Users\Jörg; these two go through UTF-8 everywhere.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace evm
