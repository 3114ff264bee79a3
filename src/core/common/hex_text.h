#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace evm {

// 0-15 for a hexadecimal digit of either case, nullopt for anything else.
std::optional<unsigned> HexDigitValue(char c);

// A run of hexadecimal digits and nothing else (no sign, prefix or blank);
// the empty run reads as 0. Values past 64 bits saturate, so a run that is
// too long for its use stays too large instead of wrapping.
std::optional<uint64_t> ParseHexDigits(std::string_view text);

}  // namespace evm
