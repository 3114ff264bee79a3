// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace evm::scpi {

namespace {

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperOf(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = Upper(c);
  return s;
}

std::string_view Trimmed(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

struct Prefix {
  const char* name;
  double factor;
};

// Longest first, so that "MA" (mega) is tried before "M" (milli).
constexpr std::array<Prefix, 12> kPrefixes = {{{"EX", 1e18},
                                               {"PE", 1e15},
                                               {"MA", 1e6},
                                               {"T", 1e12},
                                               {"G", 1e9},
                                               {"K", 1e3},
                                               {"M", 1e-3},
                                               {"U", 1e-6},
                                               {"N", 1e-9},
                                               {"P", 1e-12},
                                               {"F", 1e-15},
                                               {"A", 1e-18}}};
constexpr std::array<const char*, 4> kUnits = {"OHM", "V", "A", "W"};

// A suffix is a unit, a multiplier and a unit, or a multiplier alone.
// "MA" is milliamperes and "MOHM" megohms, as the standard reads them.
bool ApplySuffix(std::string_view suffix, Numeric& n) {
  const std::string s = UpperOf(suffix);
  if (s == "MOHM") {
    n.value *= 1e6;
    n.unit = "OHM";
    return true;
  }
  for (const char* unit : kUnits) {
    const std::string_view u(unit);
    if (s.size() < u.size() || s.compare(s.size() - u.size(), u.size(), u) != 0) continue;
    const std::string rest = s.substr(0, s.size() - u.size());
    if (rest.empty()) {
      n.unit = unit;
      return true;
    }
    if (rest == "M") {  // before the prefix table, where "MA" is mega
      n.value *= 1e-3;
      n.unit = unit;
      return true;
    }
    for (const Prefix& p : kPrefixes) {
      if (rest == p.name) {
        n.value *= p.factor;
        n.unit = unit;
        return true;
      }
    }
  }
  for (const Prefix& p : kPrefixes) {
    if (s == p.name) {
      n.value *= p.factor;
      return true;
    }
  }
  return false;
}

std::optional<double> NonDecimal(std::string_view t) {
  if (t.size() < 3 || t[0] != '#') return std::nullopt;
  int base = 0;
  switch (Upper(t[1])) {
    case 'H': base = 16; break;
    case 'Q': base = 8; break;
    case 'B': base = 2; break;
    default: return std::nullopt;
  }
  uint64_t v = 0;
  const char* end = t.data() + t.size();
  const auto res = std::from_chars(t.data() + 2, end, v, base);
  if (res.ec != std::errc() || res.ptr != end) return std::nullopt;
  return static_cast<double>(v);
}

}  // namespace

std::optional<Numeric> ParseNumeric(std::string_view text, bool* badSuffix) {
  if (badSuffix) *badSuffix = false;
  const std::string_view t = Trimmed(text);
  Numeric n;
  const std::string word = UpperOf(t);
  if (word == "MIN" || word == "MINIMUM") return Numeric{NumericKind::Min, 0, {}};
  if (word == "MAX" || word == "MAXIMUM") return Numeric{NumericKind::Max, 0, {}};
  if (word == "DEF" || word == "DEFAULT") return Numeric{NumericKind::Default, 0, {}};
  if (const auto v = NonDecimal(t)) return Numeric{NumericKind::Value, *v, {}};

  // The mantissa and exponent by hand: from_chars would take "inf" and "nan".
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  size_t end = i;
  // An exponent: E, an optional blank-free sign and digits. "E" alone is no
  // exponent but would be a suffix, so it is taken only with its digits.
  if (i < t.size() && Upper(t[i]) == 'E') {
    size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    const size_t first = j;
    while (j < t.size() && t[j] >= '0' && t[j] <= '9') ++j;
    if (j > first) end = j;
  }
  std::string mantissa(t.substr(0, end));
  if (mantissa[0] == '+') mantissa.erase(0, 1);
  double v = 0;
  const auto res = std::from_chars(mantissa.data(), mantissa.data() + mantissa.size(), v);
  if (res.ec != std::errc() || res.ptr != mantissa.data() + mantissa.size() || !std::isfinite(v)) {
    return std::nullopt;
  }
  n.value = v;
  const std::string_view suffix = Trimmed(t.substr(end));
  if (!suffix.empty() && !ApplySuffix(suffix, n)) {
    if (badSuffix) *badSuffix = true;
    return std::nullopt;
  }
  if (!std::isfinite(n.value)) return std::nullopt;
  return n;
}

std::string FormatNr1(long long value) {
  return std::to_string(value);
}

std::string FormatNr2(double value, int decimals) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed,
                                 decimals < 1 ? 1 : decimals);
  return std::string(buf, res.ptr);
}

std::string FormatNr3(double value) {
  char buf[64];
  if (value == 0) value = 0;  // never "-0"
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 5);
  std::string s(buf, res.ptr);
  for (char& c : s) c = Upper(c);
  return s;
}

}  // namespace evm::scpi
