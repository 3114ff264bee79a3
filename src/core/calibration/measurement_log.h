#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "registers/register_ops.h"

namespace evm {

// The record of one pass in the log's format (the main window's log).
std::string LogDataRecord(const MeasurementRecord& record);

// A log file of measurement passes: the header when it is opened, then one
// record per pass, each flushed so a crash loses at most the pass in progress.
class MeasurementLog {
 public:
  // Creates or empties the file and writes the header; false when it cannot.
  bool Open(const std::filesystem::path& path);
  // False when the record did not reach the file.
  bool Append(const MeasurementRecord& record);
  void Close() { file_.close(); }

 private:
  bool Write(const std::string& text);

  std::ofstream file_;
};

}  // namespace evm
