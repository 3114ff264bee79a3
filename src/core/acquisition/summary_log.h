// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "acquisition/statistics.h"

namespace evm {

// A log of one row per interval, for runs of days that a spreadsheet still
// opens (a week at 1 s is 604,800 rows, whatever the sample rate):
//   # started 2026-01-15 09:00:00.123456, interval 1 s
//   time_s,samples,lost,bus_volts_min,bus_volts_mean,bus_volts_max,...,
//   charge_amp_seconds,energy_joules
//   0.000000,250,0,12.000,12.000,12.001,...
// time_s is the start of the interval, counted from the first sample; the
// intervals are [time_s, time_s + interval). A sample's charge and energy
// belong to its own interval, also for the time it holds into the next one,
// so the rows add up to the run's figures. Lost samples count in the row of
// their interval, or, when it has no sample, in the next row: an interval
// without samples has no row. A quantity the run did not read leaves its
// columns empty. It holds one interval's figures, so its memory is flat
// however long it runs; each row is on disk when the next interval starts.
class SummaryLog {
 public:
  explicit SummaryLog(double intervalSeconds) : interval_(intervalSeconds) {}

  // Replaces the file by one holding the header; an old log is kept until
  // the header is on disk. False with the reason in `ec`.
  bool Open(const std::filesystem::path& path, double startTime, std::error_code& ec);
  // A measured sample; the row of the interval before it is written first.
  bool Add(const StatSample& sample, std::error_code& ec);
  // Samples lost at `time`.
  void AddLost(double time, int64_t lost);
  // Writes the row of the last interval, ending it at `endTime` (no sooner
  // than its last sample).
  bool Finish(double endTime, std::error_code& ec);
  void Close() { file_.close(); }

  int64_t Rows() const { return rows_; }
  static std::string Header(double startTime, double intervalSeconds);
  // The row of an interval starting `offset` seconds after the first sample.
  static std::string Row(double offset, const Statistics& stats);

 private:
  // Ends the current interval when `time` is past it.
  bool MoveTo(double time, std::error_code& ec);
  bool WriteRow(std::error_code& ec);

  double interval_;
  double start_ = 0;
  int64_t index_ = 0;  // of the current interval since the first sample
  Statistics current_;
  std::ofstream file_;
  int64_t rows_ = 0;
  int64_t pendingLost_ = 0;
};

}  // namespace evm
