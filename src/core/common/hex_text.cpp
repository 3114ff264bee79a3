// SPDX-License-Identifier: GPL-3.0-or-later
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

std::optional<uint16_t> ParseHex16(const std::string& text) {
  std::string t = text;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (!t.empty() && (t.back() == 'h' || t.back() == 'H')) t.pop_back();
  if (t.empty() || t.size() > 4) return std::nullopt;
  const auto value = ParseHexDigits(t);
  if (!value) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

std::string Hex(unsigned value, int width) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s;
  do {
    s.insert(s.begin(), kDigits[value % 16]);
    value /= 16;
  } while (value != 0);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

}  // namespace evm
