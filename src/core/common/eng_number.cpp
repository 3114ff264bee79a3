// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/eng_number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace evm {

namespace {

double PrefixFactor(char c) {
  switch (c) {
    case 'T':
    case 't': return 1e12;
    case 'G': return 1e9;
    case 'M': return 1e6;
    case 'K':
    case 'k': return 1e3;
    case 'm': return 1e-3;
    case 'U':
    case 'u': return 1e-6;
    case 'N':
    case 'n': return 1e-9;
    case 'P':
    case 'p': return 1e-12;
    case 'F':
    case 'f': return 1e-15;
    default: return 1.0;
  }
}

bool IsRunChar(char c) {
  return (c >= '0' && c <= '9') || c == ',' || c == '.' || c == 'E' || c == 'e' || c == '+' ||
         c == '-';
}

// The longest prefix of the run that is a number; 0 when there is none. "3E"
// reads as 3, "1-2" as 1, "+-" and "--2" as 0. The point and the comma are
// both the decimal mark in every locale, so "1.5" typed on a German PC is 1.5
// as it is in Eval Control; a run with two marks ("1.000,5") is no number
// rather than a number cut at the second.
double ConvertRun(const std::string& run) {
  std::string s;
  s.reserve(run.size());
  int marks = 0;
  for (char c : run) {
    if (c == '.' || c == ',') {
      if (++marks > 1) return 0.0;
      s.push_back('.');
    } else {
      s.push_back(c);
    }
  }
  const char* begin = s.data();
  const char* end = s.data() + s.size();
  bool negative = false;
  if (begin != end && (*begin == '+' || *begin == '-')) {
    negative = *begin == '-';
    ++begin;
  }
  // A second sign is no number; the conversion below would take it as one.
  if (begin != end && (*begin == '+' || *begin == '-')) return 0.0;
  double value = 0;
  const auto res = std::from_chars(begin, end, value, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Beyond the range of a double: tiny exponents read as 0, huge ones as 0
    // too rather than an infinity nothing downstream could use.
    return 0.0;
  }
  if (res.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return negative ? -value : value;
}

}  // namespace

double ParseEngNumber(std::string_view text, const NumberLocale& /*locale*/) {
  if (text.empty()) return 0.0;
  std::string t;
  for (char c : text) {
    if (c != ' ') t.push_back(c);
  }
  size_t p = 0;
  while (p < t.size() && IsRunChar(t[p])) ++p;
  if (p == 0) return 0.0;
  double value = ConvertRun(t.substr(0, p));
  if (p < t.size()) value *= PrefixFactor(t[p]);
  // A prefix can carry a huge number past the range of a double ("1e308T").
  return std::isfinite(value) ? value : 0.0;
}

std::string FormatWithPattern(double value, std::string_view pattern, const NumberLocale& locale) {
  if (!std::isfinite(value)) return value != value ? "NaN" : (value < 0 ? "-Inf" : "Inf");
  const size_t point = pattern.find('.');
  const std::string_view intPart = pattern.substr(0, point);
  const std::string_view decPart =
      point == std::string_view::npos ? std::string_view() : pattern.substr(point + 1);
  int minInt = 0;
  for (char c : intPart) minInt += c == '0';
  const int maxDec = static_cast<int>(decPart.size());
  int minDec = 0;
  for (char c : decPart) minDec += c == '0';

  char buf[512];
  const auto res =
      std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed, maxDec);
  std::string digits(buf, res.ptr);
  std::string whole = digits;
  std::string frac;
  if (const size_t dot = digits.find('.'); dot != std::string::npos) {
    whole = digits.substr(0, dot);
    frac = digits.substr(dot + 1);
  }
  while (static_cast<int>(frac.size()) > minDec && frac.back() == '0') frac.pop_back();
  while (whole.size() > 1 && whole.front() == '0') whole.erase(0, 1);
  if (whole == "0" && minInt == 0) whole.clear();
  if (static_cast<int>(whole.size()) < minInt) {
    whole = std::string(static_cast<size_t>(minInt) - whole.size(), '0') + whole;
  }

  bool allZero = true;
  for (char c : whole + frac) allZero = allZero && c == '0';
  std::string out = (value < 0 && !allZero) ? "-" : "";
  out += whole;
  if (point != std::string_view::npos) {
    out.push_back(locale.decimalSeparator);
    out += frac;
  }
  return out;
}

std::string FormatEngNumber(double value, const NumberLocale& locale) {
  struct Prefix {
    double above;
    const char* text;
    double divisor;
  };
  static constexpr Prefix kPrefixes[] = {
      {1e12, "T", 1e12},   {1e9, "G", 1e9},     {1e6, "M", 1e6},   {1e3, "K", 1e3},
      {1, " ", 1},         {1e-3, "m", 1e-3},   {1e-6, "u", 1e-6}, {1e-9, "n", 1e-9},
      {1e-12, "p", 1e-12}, {1e-15, "f", 1e-15},
  };
  const double sign = value > 0 ? 1.0 : (value < 0 ? -1.0 : 0.0);
  double a = std::fabs(value);
  const char* prefix = "";
  for (const Prefix& p : kPrefixes) {
    if (a > p.above) {
      prefix = p.text;
      a /= p.divisor;
      break;
    }
  }
  return FormatWithPattern(sign * a, "##0.000", locale) + prefix;
}

}  // namespace evm
