// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace evm {

inline constexpr const char* kSettingsFileName = "ZM5520_1EVM_Settings.csv";

struct StoredSettings {
  std::string rshunt;
  std::string maxExpectedCurrent;
  std::string selectedCurrentLsb;
  double month = 0;
  double year = 0;
};

// Three values of any type, then two numbers, taken field by field. A file
// that is missing or short yields nullopt; a month or year that is not a
// plausible date reads as 0.
std::optional<StoredSettings> ParseSettings(const std::string& content);
// `readError` receives why the file could not be read, when it could not.
std::optional<StoredSettings> ReadSettingsFile(const std::filesystem::path& path,
                                               std::error_code* readError = nullptr);

std::string FormatSettings(const StoredSettings& settings);
bool WriteSettingsFile(const std::filesystem::path& path, const StoredSettings& settings);

// Keeps new calibration inputs; the stored month and year stay as they are
// (a file that is not there yet takes `month` and `year`).
bool StoreCalibrationInputs(const std::filesystem::path& path, const std::string& rshunt,
                            const std::string& maxExpectedCurrent,
                            const std::string& selectedCurrentLsb, double month, double year,
                            std::error_code& ec);

}  // namespace evm
