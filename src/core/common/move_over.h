#pragma once

#include <filesystem>

namespace evm {

// Renames `from` over `to`, replacing it. On Windows a target that another
// program holds open (a second instance, a virus scanner, an indexer) cannot
// be replaced for a moment, so the move is tried again for up to half a
// second before it counts as failed; `from` then still exists and `to` is
// unchanged.
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace evm
