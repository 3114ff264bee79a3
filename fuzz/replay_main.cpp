// SPDX-License-Identifier: GPL-3.0-or-later
// Without libFuzzer, a target is a program that feeds every file named on its
// command line (or found in a folder named there) to the target once, so the
// corpus that once crashed a parser is replayed by the ordinary test run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

int Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  // Copied into a buffer of its own size, so a read past the input's end
  // shows under a sanitizer as it would under the fuzzer.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  LLVMFuzzerTestOneInput(input.data(), input.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path arg = argv[i];
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(arg)) {
      for (const auto& entry : std::filesystem::directory_iterator(arg)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    } else {
      files.push_back(arg);
    }
    for (const auto& file : files) {
      failures += Replay(file);
      ++replayed;
    }
  }
  std::printf("%d inputs replayed\n", replayed);
  // A corpus that went missing must not pass as a clean replay.
  return failures == 0 && replayed > 0 ? 0 : 1;
}
