// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/utf8_path.h"

namespace evm {

std::filesystem::path PathFromUtf8(std::string_view text) {
  const std::u8string utf8(text.begin(), text.end());
  try {
    return std::filesystem::path(utf8);
  } catch (const std::exception&) {
    // Not UTF-8 after all: the bytes as they are give at least a file that
    // cannot be found instead of an end of the program.
    return std::filesystem::path(std::string(text));
  }
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

}  // namespace evm
