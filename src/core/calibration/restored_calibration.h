// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calibration/initial_calibration.h"
#include "registers/register_ops.h"

namespace evm {

// How far the first activation's calibration chain gets with stored inputs:
// each step runs only when the one before did and its own input is valid.
enum class RestoredStep {
  None,                // the shunt is not above 0: nothing runs
  Rshunt,              // the expected current (taken with its sign) does not fit
  CurrentLsbRejected,  // the LSB is out of range or gives no 16-bit register
  CurrentLsb,          // the whole chain ran
};

struct RestoredCalibration {
  RestoredStep reached = RestoredStep::None;
  // What the chain leaves for scaling: a rejected LSB still scales the
  // current, while the power LSB stays 0 until an LSB is accepted.
  Scaling scaling;
  InitialCalibration calibration;  // complete when the whole chain ran
};

// The one decision, for the main window's first activation and for evmctl,
// so both scale the same stored settings the same way.
RestoredCalibration RestoreCalibrationInputs(const CalibrationInputs& inputs,
                                             const CalibrationRanges& ranges);

}  // namespace evm
