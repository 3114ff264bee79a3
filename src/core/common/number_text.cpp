// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/number_text.h"

#include <cctype>
#include <charconv>
#include <cmath>

namespace evm {

std::string FormatGeneralInvariant(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
  char buf[64];
  // to_chars ignores the process locale, which Qt sets from the environment.
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  std::string s(buf, res.ptr);
  for (char& c : s) {
    if (c == 'e') c = 'E';
  }
  if (s == "-0") s = "0";
  return s;
}

std::string FormatInvariantExact(double value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
  std::string s(buf, res.ptr);
  for (char& c : s) {
    if (c == 'e') c = 'E';
  }
  return s;
}

std::string FormatGeneral(double value, const NumberLocale& locale) {
  std::string s = FormatGeneralInvariant(value);
  for (char& c : s) {
    if (c == '.') c = locale.decimalSeparator;
  }
  return s;
}

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

std::optional<double> ParseWithPoint(std::string_view t) {
  if (t.empty()) return std::nullopt;
  if (t.front() == '+') {
    t.remove_prefix(1);
    if (t.empty() || t.front() == '-') return std::nullopt;
  }
  double v = 0;
  const auto res = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return std::nullopt;
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

}  // namespace

std::optional<double> ParseInvariantNumber(std::string_view text) {
  return ParseWithPoint(Trim(text));
}

std::optional<double> ParseLocaleNumber(std::string_view text, const NumberLocale& locale) {
  text = Trim(text);
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c == locale.decimalSeparator) {
      s.push_back('.');
    } else if (c == '.') {
      return std::nullopt;  // a point is not a decimal mark in a comma locale
    } else {
      s.push_back(c);
    }
  }
  return ParseWithPoint(s);
}

}  // namespace evm
