// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/summary_log.h"

#include <cerrno>
#include <charconv>
#include <cmath>

#include "acquisition/fast_log.h"
#include "common/atomic_file.h"

namespace evm {

namespace {

// Numbers with a point whatever the process locale says.
void AddNumber(std::string& line, double value, std::chars_format format, int precision) {
  if (std::isnan(value)) return;
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, format, precision);
  line.append(text, end.ptr);
}

std::error_code LastError() {
  return errno != 0 ? std::error_code(errno, std::generic_category())
                    : std::make_error_code(std::errc::io_error);
}

}  // namespace

std::string SummaryLog::Header(double startTime, double intervalSeconds) {
  std::string header = "# started " + MicrosecondStampText(startTime) + ", interval ";
  AddNumber(header, intervalSeconds, std::chars_format::general, 9);
  header += " s\ntime_s,samples,lost";
  for (const std::string_view name : kStatQuantityNames) {
    for (const char* figure : {"_min", "_mean", "_max"}) {
      header += ',';
      header += name;
      header += figure;
    }
  }
  header += ",charge_amp_seconds,energy_joules\n";
  return header;
}

std::string SummaryLog::Row(double offset, const Statistics& stats) {
  std::string row;
  row.reserve(200);
  AddNumber(row, offset, std::chars_format::fixed, 6);
  row += ',' + std::to_string(stats.Samples()) + ',' + std::to_string(stats.Lost());
  for (size_t q = 0; q < kStatQuantities; ++q) {
    const QuantityStats& s = stats.Of(static_cast<StatQuantity>(q));
    for (const double value : {s.min, s.mean, s.max}) {
      row += ',';
      if (!s.Empty()) AddNumber(row, value, std::chars_format::general, 7);
    }
  }
  row += ',';
  AddNumber(row, stats.ChargeAmpSeconds(), std::chars_format::general, 9);
  row += ',';
  AddNumber(row, stats.EnergyJoules(), std::chars_format::general, 9);
  row += '\n';
  return row;
}

bool SummaryLog::Open(const std::filesystem::path& path, double startTime, std::error_code& ec) {
  file_.close();
  start_ = startTime;
  index_ = 0;
  rows_ = 0;
  pendingLost_ = 0;
  current_ = Statistics{};
  if (!(interval_ > 0)) {
    ec = std::make_error_code(std::errc::invalid_argument);
    return false;
  }
  if (!WriteFileAtomically(path, Header(startTime, interval_), ec)) return false;
  errno = 0;
  file_.open(path, std::ios::binary | std::ios::app);
  if (file_.is_open()) return true;
  ec = LastError();
  return false;
}

bool SummaryLog::WriteRow(std::error_code& ec) {
  if (current_.Empty() && current_.Lost() == 0) return true;
  errno = 0;
  file_ << Row(static_cast<double>(index_) * interval_, current_);
  file_.flush();
  current_ = Statistics{};
  if (!file_) {
    ec = LastError();
    return false;
  }
  ++rows_;
  return true;
}

bool SummaryLog::MoveTo(double time, std::error_code& ec) {
  const auto index = static_cast<int64_t>(std::floor((time - start_) / interval_));
  if (index <= index_) return true;
  current_.HoldUntil(time);
  const bool written = WriteRow(ec);
  index_ = index;
  return written;
}

bool SummaryLog::Add(const StatSample& sample, std::error_code& ec) {
  if (!MoveTo(sample.time, ec)) return false;
  current_.CountLost(pendingLost_);
  pendingLost_ = 0;
  current_.Add(sample);
  return true;
}

void SummaryLog::AddLost(double time, int64_t lost) {
  // A lost sample ends no interval: the last sample holds on until the
  // next one, whose row then counts what was lost after the last row.
  if (std::floor((time - start_) / interval_) <= static_cast<double>(index_)) {
    current_.CountLost(lost);
  } else {
    pendingLost_ += lost;
  }
}

bool SummaryLog::Finish(double endTime, std::error_code& ec) {
  current_.HoldUntil(endTime);
  current_.CountLost(pendingLost_);
  pendingLost_ = 0;
  return WriteRow(ec);
}

}  // namespace evm
