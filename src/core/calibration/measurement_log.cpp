#include "calibration/measurement_log.h"

#include <cstdio>

#include "calibration/continuous_read.h"
#include "common/write_records.h"

namespace evm {

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
  return line + "\"\r\n\"\r\n";
}

bool MeasurementLog::Open(const std::filesystem::path& path) {
  file_.open(path, std::ios::binary | std::ios::trunc);
  return file_.is_open() && Write(LogHeaderRecord());
}

bool MeasurementLog::Append(const MeasurementRecord& record) {
  return Write(LogDataRecord(record));
}

bool MeasurementLog::Write(const std::string& text) {
  file_ << text;
  file_.flush();
  return static_cast<bool>(file_);
}

}  // namespace evm
