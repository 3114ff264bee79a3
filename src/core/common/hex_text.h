// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace evm {

// 0-15 for a hexadecimal digit of either case, nullopt for anything else.
std::optional<unsigned> HexDigitValue(char c);

// A run of hexadecimal digits and nothing else (no sign, prefix or blank);
// the empty run reads as 0. Values past 64 bits saturate, so a run that is
// too long for its use stays too large instead of wrapping.
std::optional<uint64_t> ParseHexDigits(std::string_view text);

// "0x3A5F", "3a5f" or "3A5Fh"; nullopt unless it is a 16-bit hexadecimal number.
std::optional<uint16_t> ParseHex16(const std::string& text);

// Upper-case hexadecimal with `width` digits at least: Hex(0x5, 2) is "05".
std::string Hex(unsigned value, int width);

}  // namespace evm
