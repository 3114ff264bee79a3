// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "common/number_locale.h"

namespace evm {

// Round tick marks for an axis over [lo, hi]: a step of 1, 2 or 5 times a
// power of ten that gives at most `most` intervals, the first tick at or
// above `lo`, and the decimals a figure on that step needs.
struct AxisTicks {
  double first = 0;
  double step = 1;
  int decimals = 0;
};
AxisTicks NiceTicks(double lo, double hi, int most);

// `value` with `decimals` decimals and the program's decimal mark.
std::string FixedText(double value, int decimals, const NumberLocale& locale);

}  // namespace evm
