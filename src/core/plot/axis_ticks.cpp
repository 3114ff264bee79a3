// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/axis_ticks.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace evm {

AxisTicks NiceTicks(double lo, double hi, int most) {
  double span = hi - lo;
  // A flat line still gets a scale: a thousandth of its value.
  if (!(span > 0)) span = std::max(std::abs(lo), 1.0) * 1e-3;
  const double raw = span / std::max(most, 1);
  int exponent = static_cast<int>(std::floor(std::log10(raw)));
  double power = std::pow(10.0, exponent);
  double step = 10 * power;
  for (const double m : {1.0, 2.0, 5.0}) {
    // A hair of tolerance, so that a span of exactly 5 steps takes 5 steps.
    if (m * power >= raw * (1 - 1e-9)) {
      step = m * power;
      break;
    }
  }
  if (step == 10 * power) {
    ++exponent;
    power *= 10;
  }
  return {std::ceil(lo / step - 1e-9) * step, step, std::max(0, -exponent)};
}

std::string FixedText(double value, int decimals, const NumberLocale& locale) {
  // Not printf: the process's C locale may have another decimal mark.
  char text[400];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                 std::clamp(decimals, 0, 17))
                       .ptr;
  std::string out(text, end);
  // "-0.000" says nothing that "0.000" does not.
  if (out.find_first_not_of("-0.") == std::string::npos && out[0] == '-') out.erase(0, 1);
  std::replace(out.begin(), out.end(), '.', locale.decimalSeparator);
  return out;
}

}  // namespace evm
