// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <unistd.h>

namespace evm::test {

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    // Wine hands out the same few process ids again and again: a random
    // part keeps one run's folders apart from the last run's.
    path_ = std::filesystem::temp_directory_path() /
            ("zm5520-test-" + std::to_string(::getpid()) + "-" +
             std::to_string(std::random_device()() % 100000) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    // Windows refuses to delete a read-only file.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace evm::test
