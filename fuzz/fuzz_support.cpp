// SPDX-License-Identifier: GPL-3.0-or-later
#include "fuzz_support.h"

#include <fstream>

namespace evm::fuzz {

const ScratchFolder& Scratch() {
  // Created on first use, removed when the process ends.
  static const ScratchFolder folder;
  return folder;
}

void PutFile(const std::filesystem::path& file, std::string_view content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  FUZZ_CHECK(out.good());
}

std::filesystem::path InputFile(const char* name, const uint8_t* data, size_t size) {
  const auto file = Scratch().File(name);
  PutFile(file, AsText(data, size));
  return file;
}

std::string AsWritten(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    if (c == '"') c = '\'';
  }
  return s;
}

}  // namespace evm::fuzz
