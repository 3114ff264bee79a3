// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/stored_calibration.h"

#include "common/eng_number.h"

namespace evm {

CalibrationInputs CalibrationInputsOf(const StoredSettings& settings) {
  const NumberLocale point = NumberLocale::Point();
  return {ParseEngNumber(settings.rshunt, point),
          ParseEngNumber(settings.maxExpectedCurrent, point),
          ParseEngNumber(settings.selectedCurrentLsb, point)};
}

StoredCalibration ReadStoredCalibration(const std::filesystem::path& settingsFile,
                                        const CalibrationRanges& ranges) {
  StoredCalibration s;
  const auto settings = ReadSettingsFile(settingsFile, &s.readError);
  s.stored = settings.has_value();
  if (settings) s.settings = *settings;
  s.restored = RestoreCalibrationInputs(
      settings ? CalibrationInputsOf(*settings) : kDefaultCalibrationInputs, ranges);
  return s;
}

}  // namespace evm
