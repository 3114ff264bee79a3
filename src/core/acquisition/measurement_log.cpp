// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/measurement_log.h"

#include <cerrno>
#include <cstdio>

#include "common/atomic_file.h"
#include "common/write_records.h"

namespace evm {

namespace {

// Every record ends with a quoted line break, so it spans two lines.
constexpr const char* kRecordEnd = "\"\r\n\"\r\n";

}  // namespace

std::string LogHeaderRecord() {
  std::string record = "\"Date_Stamp\",";
  for (int i = 3; i <= 21; ++i) record += "\"Dec_Reg " + std::to_string(i) + "\",";
  for (int i = 0; i <= 22; ++i) record += "\"Int_Reg " + std::to_string(i) + "\",";
  return record + kRecordEnd;
}

std::string LogDataRecord(const MeasurementRecord& record) {
  const DateTime& now = record.time;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d-%02d-%04d %02d:%02d:%02d", now.month, now.day, now.year,
                now.hour, now.minute, now.second);
  const RegisterRead& r = record.registers;
  std::string line = "\"" + std::string(stamp) + "\",";
  // The decimal columns carry power and current; the registers after them
  // have no scaled value.
  for (int i = 3; i <= r.lastReg; ++i) {
    const double value = i == 3 ? record.quantities.watts : i == 4 ? record.quantities.amperes : 0;
    line += FormatRecordNumber(value) + ",";
  }
  for (int i = 0; i <= r.lastReg; ++i) {
    line += std::to_string(r.values[static_cast<size_t>(i)]) + ",";
  }
  return line + kRecordEnd;
}

bool MeasurementLog::Open(const std::filesystem::path& path, std::error_code& ec) {
  file_.close();
  if (!WriteFileAtomically(path, LogHeaderRecord(), ec)) return false;
  errno = 0;
  file_.open(path, std::ios::binary | std::ios::app);
  if (file_.is_open()) return true;
  ec = errno != 0 ? std::error_code(errno, std::generic_category())
                  : std::make_error_code(std::errc::io_error);
  return false;
}

bool MeasurementLog::Append(const MeasurementRecord& record, std::error_code& ec) {
  return Write(LogDataRecord(record), ec);
}

bool MeasurementLog::Write(const std::string& text, std::error_code& ec) {
  errno = 0;
  file_ << text;
  file_.flush();
  if (file_) return true;
  ec = errno != 0 ? std::error_code(errno, std::generic_category())
                  : std::make_error_code(std::errc::io_error);
  return false;
}

}  // namespace evm
