// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "acquisition/sample.h"

namespace evm {

// "2026-01-15 09:00:00.123456" of seconds since 1970 in local time.
std::string MicrosecondStampText(double seconds);

// The log of a fast run, one line per sample, where the pass log has one
// record per six-register pass:
//   # started 2026-01-15 09:00:00.123456
//   time_s,bus_volts,shunt_volts,amps,watts,shunt_raw,bus_raw,power_raw,current_raw
//   0.008123,12.000,0.01000,1.00000,12.0000,1000,24002,...
// time_s counts from the first sample, in seconds to the microsecond; a
// register the run did not read leaves its columns empty. Only samples the
// device acknowledged are written.
class FastLog {
 public:
  // Replaces the file by one holding the header; an old log is kept until
  // the header is on disk. False with the reason in `ec`.
  bool Open(const std::filesystem::path& path, double startTime, std::error_code& ec);
  // Adds a line; written out by Flush, or when the buffer is large.
  bool Append(const Sample& sample, const Quantities& q, std::error_code& ec);
  // Puts what was appended on disk.
  bool Flush(std::error_code& ec);
  void Close() { file_.close(); }

  static std::string Header(double startTime);
  std::string Line(const Sample& sample, const Quantities& q) const;
  // The line of a sample in a log whose first sample came at `startTime`.
  static std::string LineAt(double startTime, const Sample& sample, const Quantities& q);

 private:
  std::ofstream file_;
  std::string pending_;
  double start_ = 0;
};

}  // namespace evm
