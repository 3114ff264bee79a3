// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <system_error>

namespace evm {

#ifdef _WIN32
// Renames `from` over `to`, replacing it. A target that another program
// holds open (a second instance, a virus scanner, an indexer) cannot be
// replaced on Windows for a moment, so the move is tried again for up to half
// a second before it counts as failed; `from` then still exists and `to` is
// unchanged. A read-only target is refused at once.
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to,
              std::error_code& ec);
#endif

}  // namespace evm
