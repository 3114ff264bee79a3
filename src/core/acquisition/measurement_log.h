// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "registers/register_ops.h"

namespace evm {

// The first record of every log: the names of its columns.
std::string LogHeaderRecord();
// The record of one pass in the log's format (the main window's log).
std::string LogDataRecord(const MeasurementRecord& record);

// A log file of measurement passes: the header when it is opened, then one
// record per pass, each flushed so a crash loses at most the pass in progress.
class MeasurementLog {
 public:
  // Replaces the file by one holding the header; false, with the reason in
  // `ec`, when it cannot. A file the user marked read-only, a pipe or a
  // device is refused, and an old log is kept until the header is on disk,
  // so a failed start leaves what was there and no empty file.
  bool Open(const std::filesystem::path& path, std::error_code& ec);
  bool Open(const std::filesystem::path& path) {
    std::error_code ec;
    return Open(path, ec);
  }
  // False when the record did not reach the file, with the reason in `ec`.
  bool Append(const MeasurementRecord& record, std::error_code& ec);
  bool Append(const MeasurementRecord& record) {
    std::error_code ec;
    return Append(record, ec);
  }
  void Close() { file_.close(); }

 private:
  bool Write(const std::string& text, std::error_code& ec);

  std::ofstream file_;
};

}  // namespace evm
