// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/fast_log.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "common/atomic_file.h"
#include "plot/measurement_series.h"

namespace evm {

namespace {

// Numbers with a point whatever the process locale says.
void AddFixed(std::string& line, double value, int decimals) {
  if (std::isnan(value)) return;
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  line.append(text, end.ptr);
}

void AddGeneral(std::string& line, double value) {
  if (std::isnan(value)) return;
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 7);
  line.append(text, end.ptr);
}

// Flushed to disk at this size, so a long run holds no more than this in memory.
constexpr size_t kPendingLimit = size_t{64} * 1024;

std::error_code LastError() {
  return errno != 0 ? std::error_code(errno, std::generic_category())
                    : std::make_error_code(std::errc::io_error);
}

}  // namespace

std::string MicrosecondStampText(double seconds) {
  const double us = std::round(seconds * 1e6);
  const double whole = std::floor(us / 1e6);
  const std::string stamp = TimeStampText(whole);  // "YYYY-MM-DD HH:MM:SS.000"
  char micro[8];
  std::snprintf(micro, sizeof micro, "%06d", static_cast<int>(us - whole * 1e6));
  return stamp.substr(0, stamp.size() - 3) + micro;
}

std::string FastLog::Header(double startTime) {
  return "# started " + MicrosecondStampText(startTime) +
         "\ntime_s,bus_volts,shunt_volts,amps,watts,shunt_raw,bus_raw,power_raw,current_raw\n";
}

std::string FastLog::Line(const Sample& sample, const Quantities& q) const {
  return LineAt(start_, sample, q);
}

std::string FastLog::LineAt(double startTime, const Sample& sample, const Quantities& q) {
  std::string line;
  line.reserve(96);
  AddFixed(line, sample.time - startTime, 6);
  line += ',';
  AddFixed(line, q.busVolts, 3);
  line += ',';
  AddFixed(line, q.shuntVolts, 5);
  line += ',';
  AddGeneral(line, q.amperes);
  line += ',';
  AddGeneral(line, q.watts);
  for (const int reg : {1, 2, 3, 4}) {
    line += ',';
    if (sample.Has(reg)) line += std::to_string(sample.registers.values[static_cast<size_t>(reg)]);
  }
  line += '\n';
  return line;
}

bool FastLog::Open(const std::filesystem::path& path, double startTime, std::error_code& ec) {
  file_.close();
  pending_.clear();
  start_ = startTime;
  if (!WriteFileAtomically(path, Header(startTime), ec)) return false;
  errno = 0;
  file_.open(path, std::ios::binary | std::ios::app);
  if (file_.is_open()) return true;
  ec = LastError();
  return false;
}

bool FastLog::Append(const Sample& sample, const Quantities& q, std::error_code& ec) {
  if (!sample.acknowledged) return true;
  pending_ += Line(sample, q);
  return pending_.size() < kPendingLimit || Flush(ec);
}

bool FastLog::Flush(std::error_code& ec) {
  if (pending_.empty()) return true;
  errno = 0;
  file_ << pending_;
  file_.flush();
  pending_.clear();
  if (file_) return true;
  ec = LastError();
  return false;
}

}  // namespace evm
