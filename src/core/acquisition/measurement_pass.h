// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace evm {

// What one pass of the continuous reading measured, scaled as the grid shows
// it. Listeners get it as the pass ends, so a plot or a monitor needs no read
// of its own.
struct MeasurementPass {
  double time = 0;  // seconds since 1970-01-01 in local time
  double busVolts = 0;
  double shuntVolts = 0;
  double amperes = 0;
  double watts = 0;
  // False when a register did not answer: the values are then an earlier
  // pass's and no measurement.
  bool acknowledged = true;
};

}  // namespace evm
