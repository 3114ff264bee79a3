// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace evm {

// Which input the initial calibration refused, in the order the tab checks them.
enum class CalibrationRefusal { None, Rshunt, MaxExpectedCurrent, CurrentLsb, TooLarge };

}  // namespace evm
