// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "common/number_locale.h"

namespace evm {

// Engineering-notation text: a number with one optional prefix letter right
// behind it ("100u", "1.5 k", "10mA"). Spaces are ignored; text that holds no
// number reads as 0. The point and the comma both read as the decimal mark,
// whatever the locale (which only writing follows).
double ParseEngNumber(std::string_view text, const NumberLocale& locale);

// Three decimals and a prefix: 0.0001 -> "100.000u", 3.2 -> "3.200 ".
std::string FormatEngNumber(double value, const NumberLocale& locale);

// Display patterns of the platform's number formatter: "0" a digit, "#" an
// optional digit, "." the decimal point, written with the locale's separator.
// Used with "##0.000", "#.####" and "#####0".
std::string FormatWithPattern(double value, std::string_view pattern, const NumberLocale& locale);

}  // namespace evm
