// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "common/clock.h"

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

// Where settings that did not parse are kept before `file` is replaced:
// "NAME.bad", or once that holds an earlier copy, "NAME.<date>-<time>.bad"
// at `now` (numbered when even that is taken). Never a name in use.
std::filesystem::path SetAsidePath(const std::filesystem::path& file, const DateTime& now);

// Keeps new calibration inputs; the stored month and year stay as they are
// (a file that is not there yet takes `month` and `year`). A file there
// that does not parse is set aside first (SetAsidePath, at `now`, else at
// the system's time), and `setAside` receives its new name; one that is
// not a regular file is left alone and nothing is stored.
bool StoreCalibrationInputs(const std::filesystem::path& path, const std::string& rshunt,
                            const std::string& maxExpectedCurrent,
                            const std::string& selectedCurrentLsb, double month, double year,
                            std::error_code& ec, const std::optional<DateTime>& now = std::nullopt,
                            std::filesystem::path* setAside = nullptr);

}  // namespace evm
