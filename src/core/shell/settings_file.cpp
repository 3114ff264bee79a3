// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_file.h"

#include <cmath>

#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm {

std::optional<StoredSettings> ParseSettings(const std::string& content) {
  const auto fields = ReadRecordFields(content);
  if (fields.size() < 5) return std::nullopt;
  StoredSettings settings{fields[0].text, fields[1].text, fields[2].text, 0, 0};
  const auto month = FieldAsNumber(fields[3]);
  const auto year = FieldAsNumber(fields[4]);
  // A month or year that is no date leaves the date unknown (0, as a run
  // that never got to the reminder leaves it), so the reminder shows; the
  // three texts are the user's and are kept.
  if (month && year && *month >= 0 && *month <= 12 && *year >= 0 && *year <= 9999 &&
      std::floor(*month) == *month && std::floor(*year) == *year) {
    settings.month = *month;
    settings.year = *year;
  }
  return settings;
}

std::optional<StoredSettings> ReadSettingsFile(const std::filesystem::path& path,
                                               std::error_code* readError) {
  std::error_code ec;
  const auto content = ReadWholeFile(path, ec);
  if (readError) *readError = ec;
  if (!content) return std::nullopt;
  return ParseSettings(*content);
}

std::string FormatSettings(const StoredSettings& settings) {
  RecordWriter w;
  w.Text(settings.rshunt).EndRecord();
  w.Text(settings.maxExpectedCurrent).EndRecord();
  w.Text(settings.selectedCurrentLsb).EndRecord();
  w.Number(settings.month).EndRecord();
  w.Number(settings.year).EndRecord();
  return w.Content();
}

bool WriteSettingsFile(const std::filesystem::path& path, const StoredSettings& settings) {
  return WriteFileAtomically(path, FormatSettings(settings));
}

bool StoreCalibrationInputs(const std::filesystem::path& path, const std::string& rshunt,
                            const std::string& maxExpectedCurrent,
                            const std::string& selectedCurrentLsb, double month, double year,
                            std::error_code& ec) {
  StoredSettings settings =
      ReadSettingsFile(path).value_or(StoredSettings{"", "", "", month, year});
  settings.rshunt = rshunt;
  settings.maxExpectedCurrent = maxExpectedCurrent;
  settings.selectedCurrentLsb = selectedCurrentLsb;
  return WriteFileAtomically(path, FormatSettings(settings), ec);
}

}  // namespace evm
