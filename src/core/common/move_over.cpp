// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/move_over.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace evm {

#ifdef _WIN32
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::error_code& ec) {
  constexpr int kTries = 10;
  constexpr DWORD kPauseMs = 50;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      ec.clear();
      return true;
    }
    const DWORD error = GetLastError();
    ec = std::error_code(static_cast<int>(error), std::system_category());
    const DWORD attributes = GetFileAttributesW(to.c_str());
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                      (error == ERROR_ACCESS_DENIED && !readOnly);
    if (!held || attempt == kTries) return false;
    // A file-system wait of the system's own, not a timing of the program.
    Sleep(kPauseMs);
  }
}
#endif

}  // namespace evm
