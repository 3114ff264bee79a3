// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/restored_calibration.h"

namespace evm {

RestoredCalibration RestoreCalibrationInputs(const CalibrationInputs& inputs,
                                             const CalibrationRanges& ranges) {
  RestoredCalibration r;
  if (!(inputs.rshuntOhms > 0)) return r;
  r.reached = RestoredStep::Rshunt;
  // The button takes the magnitude; the automatic chain does not, so a
  // negative stored current stops it here.
  if (!(inputs.maxExpectedAmps > 0)) return r;
  const InitialCalibration c = ComputeInitialCalibration(inputs, ranges, NumberLocale::Point());
  if (c.refusal == CalibrationRefusal::MaxExpectedCurrent) return r;
  r.reached = RestoredStep::CurrentLsbRejected;
  r.scaling.currentLsb = inputs.currentLsb;
  if (!c.Ok()) return r;
  r.reached = RestoredStep::CurrentLsb;
  r.scaling = Scaling{c.currentLsb, c.powerLsb};
  r.calibration = c;
  return r;
}

}  // namespace evm
