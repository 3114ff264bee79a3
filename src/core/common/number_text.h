// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/number_locale.h"

namespace evm {

// The platform's default number-to-text: 15 significant digits, trailing zeros
// dropped, exponent form below 1e-4 and from 1e15 ("1E-05"), written with the
// locale's decimal separator.
std::string FormatGeneral(double value, const NumberLocale& locale);

// Same digits with "." whatever the locale; the form stored files use.
std::string FormatGeneralInvariant(double value);

// 17 significant digits, which read back as the same double.
std::string FormatInvariantExact(double value);

// Text-to-number with the locale's decimal separator. Surrounding blanks are
// allowed; anything else that is not part of the number makes it fail.
std::optional<double> ParseLocaleNumber(std::string_view text, const NumberLocale& locale);

// Text-to-number with "." as the decimal separator, as stored files hold them.
std::optional<double> ParseInvariantNumber(std::string_view text);

}  // namespace evm
