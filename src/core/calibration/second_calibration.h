// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace evm {

class Evm;
struct MainPanels;

inline constexpr const char* kMeasurementMakeLowerLine =
    "Make this measurement at a lower shunt current.";
inline constexpr const char* kSecondCalRangeMessage =
    "The adjustment of the Full scale call register exceads it's range.\r\n"
    "Check the measured value to insure that it is correct.";

// "Read Initial Cal Current": the device's current before the correction.
void cmdReadInitCalCurrent_Click(Evm& evm, MainPanels& panels);

// "Compute New Full Scale Cal and Read Post Second Cal Current": scales the
// calibration by the metered current over the device's; true when written.
bool cmdSecondCal_Click(Evm& evm, MainPanels& panels);

}  // namespace evm
