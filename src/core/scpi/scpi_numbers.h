// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace evm::scpi {

enum class NumericKind { Value, Min, Max, Default };

// A numeric parameter: 12, -1.5E-3, 10 mA, 100u, #HA000, MIN, MAX or DEF.
// The suffix's multiplier is applied; its unit is kept for the command to
// check ("A", "V", "W", "OHM", or empty).
struct Numeric {
  NumericKind kind = NumericKind::Value;
  double value = 0;
  std::string unit;
};

// Nothing when the text is no numeric parameter at all; `badSuffix` is set
// when it is a number followed by a suffix that is none.
std::optional<Numeric> ParseNumeric(std::string_view text, bool* badSuffix = nullptr);

// Answers in the forms of the standard, whatever the locale: NR1 "42",
// NR2 "1999.0" (at least one decimal), NR3 "9.98000E-03".
std::string FormatNr1(long long value);
std::string FormatNr2(double value, int decimals = 1);
std::string FormatNr3(double value);

}  // namespace evm::scpi
