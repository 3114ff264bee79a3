// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#include "calibration/restored_calibration.h"
#include "shell/settings_file.h"

namespace evm {

// The built-in inputs that stand in for a settings file that is not there.
inline constexpr CalibrationInputs kDefaultCalibrationInputs{0.01, 2, 100e-6};

// The three inputs a settings file holds. Either decimal mark reads, so a
// file the GUI wrote in a comma locale ("0,01") means what it meant there.
CalibrationInputs CalibrationInputsOf(const StoredSettings& settings);

struct StoredCalibration {
  RestoredCalibration restored;
  bool stored = false;  // the settings file was there and parsed
  StoredSettings settings;
  std::error_code readError;  // why the file could not be read, when it could not
};

// The scaling of the calibration the settings file keeps, on `ranges`.
StoredCalibration ReadStoredCalibration(const std::filesystem::path& settingsFile,
                                        const CalibrationRanges& ranges);

}  // namespace evm
