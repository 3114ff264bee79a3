// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/settings_file.h"

#include <cmath>
#include <cstdio>

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

std::filesystem::path SetAsidePath(const std::filesystem::path& file, const DateTime& now) {
  // A name that cannot even be looked up ends the search: setting the file
  // aside under it then fails with the reason, rather than the search
  // going on for ever.
  const auto usable = [](const std::filesystem::path& name) {
    std::error_code ec;
    return !std::filesystem::exists(name, ec) || ec;
  };
  std::filesystem::path kept = file;
  kept += ".bad";
  if (usable(kept)) return kept;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, ".%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day,
                now.hour, now.minute, now.second);
  for (int n = 1;; ++n) {
    kept = file;
    kept += stamp + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".bad";
    if (usable(kept)) return kept;
  }
}

bool StoreCalibrationInputs(const std::filesystem::path& path, const std::string& rshunt,
                            const std::string& maxExpectedCurrent,
                            const std::string& selectedCurrentLsb, double month, double year,
                            std::error_code& ec, const std::optional<DateTime>& now,
                            std::filesystem::path* setAside) {
  ec.clear();
  std::error_code readError;
  std::optional<StoredSettings> settings = ReadSettingsFile(path, &readError);
  if (!settings) {
    std::error_code statusError;
    const bool missing = !std::filesystem::exists(path, statusError) && !statusError;
    if (!missing) {
      // What is there is the user's only copy of the old settings.
      if (!std::filesystem::is_regular_file(path, statusError)) {
        ec = readError     ? readError
             : statusError ? statusError
                           : std::make_error_code(std::errc::invalid_argument);
        return false;
      }
      const std::filesystem::path kept = SetAsidePath(path, now ? *now : SystemClock().Now());
      std::filesystem::rename(path, kept, ec);
      if (ec) return false;
      if (setAside) *setAside = kept;
    }
    settings = StoredSettings{"", "", "", month, year};
  }
  settings->rshunt = rshunt;
  settings->maxExpectedCurrent = maxExpectedCurrent;
  settings->selectedCurrentLsb = selectedCurrentLsb;
  return WriteFileAtomically(path, FormatSettings(*settings), ec);
}

}  // namespace evm
