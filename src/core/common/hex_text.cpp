#include "common/hex_text.h"

#include <limits>

namespace evm {

std::optional<unsigned> HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return std::nullopt;
}

std::optional<uint64_t> ParseHexDigits(std::string_view text) {
  constexpr uint64_t kCap = std::numeric_limits<uint64_t>::max() / 16;
  uint64_t value = 0;
  for (char c : text) {
    const auto digit = HexDigitValue(c);
    if (!digit) return std::nullopt;
    value = value >= kCap ? std::numeric_limits<uint64_t>::max() : value * 16 + *digit;
  }
  return value;
}

}  // namespace evm
