// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

// A broken property must stop the fuzzer the way a crash does, in release
// builds too, so it is not an assert.
#define FUZZ_CHECK(cond)                                                                 \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "%s:%d: property violated: %s\n", __FILE__, __LINE__, #cond); \
      __builtin_trap();                                                                  \
    }                                                                                    \
  } while (0)

namespace evm::fuzz {

// Takes the input apart front to back; past the end every read yields zero
// or empty, so any input is a valid one.
class FuzzBytes {
 public:
  FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  double Double() {
    uint8_t raw[sizeof(double)] = {};
    for (uint8_t& b : raw) b = Byte();
    double v = 0;
    std::memcpy(&v, raw, sizeof v);
    return v;
  }
  std::string Text(size_t length) {
    const size_t n = std::min(length, size_ - std::min(pos_, size_));
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  std::string Rest() { return Text(size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The file parsers read from disk; one folder per process holds their files
// and goes away with it.
class ScratchFolder {
 public:
  ScratchFolder()
      : path_(std::filesystem::temp_directory_path() / ("evm-fuzz-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path File(const char* name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

const ScratchFolder& Scratch();

// Writes `content` to `file` as it is, for the readers under test.
void PutFile(const std::filesystem::path& file, std::string_view content);

// The input as the scratch folder's file `name`, for the file readers.
std::filesystem::path InputFile(const char* name, const uint8_t* data, size_t size);

// What a writer of records makes of a text: a quote would end the field, so
// it is stored as an apostrophe.
std::string AsWritten(std::string_view text);

}  // namespace evm::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
