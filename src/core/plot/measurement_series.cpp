// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/measurement_series.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/atomic_file.h"
#include "common/date_seconds.h"
#include "common/number_text.h"

namespace evm {

namespace {

float ValueOf(const MeasurementSeries::Point& p, Quantity q) {
  return p.values[static_cast<size_t>(q)];
}

// A record's time stamp, "MM-DD-YYYY HH:MM:SS" in quotes.
bool ParseStamp(std::string_view field, double& seconds) {
  if (field.size() != 21 || field.front() != '"' || field.back() != '"') return false;
  int mo = 0, d = 0, y = 0, h = 0, mi = 0, s = 0;
  const std::string text(field.substr(1, 19));
  char tail = 0;
  if (std::sscanf(text.c_str(), "%2d-%2d-%4d %2d:%2d:%2d%c", &mo, &d, &y, &h, &mi, &s, &tail) != 6)
    return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
  seconds = SecondsOf(DateTime{y, mo, d, h, mi, s});
  return true;
}

int SignedWord(double value) {
  const auto v = static_cast<int>(value);
  return (v & 0x8000) ? (v & 0x7FFF) - 32768 : v;
}

// One data record without its closing quoted line break. The decimal columns
// run from register 03h to the last register read, the integer ones from 00h,
// so the count of numbers tells the last register.
bool ParseRecord(std::string_view record, MeasurementPass& pass) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = record.find(',', start);
    if (comma == std::string_view::npos) {
      fields.push_back(record.substr(start));
      break;
    }
    fields.push_back(record.substr(start, comma - start));
    start = comma + 1;
  }
  // The record ends with a comma before its closing field.
  if (fields.empty() || !fields.back().empty()) return false;
  fields.pop_back();
  if (fields.size() < 2 || !ParseStamp(fields[0], pass.time)) return false;
  const size_t numbers = fields.size() - 1;
  if (numbers % 2 == 0) return false;
  const size_t lastReg = (numbers + 1) / 2;
  if (lastReg < 4) return false;
  std::vector<double> v;
  for (size_t i = 1; i < fields.size(); ++i) {
    const auto n = ParseInvariantNumber(fields[i]);
    if (!n) return false;
    v.push_back(*n);
  }
  const size_t decimals = lastReg - 2;
  const double shuntWord = v[decimals + 1];
  const double busWord = v[decimals + 2];
  if (shuntWord < 0 || shuntWord > 0xFFFF || busWord < 0 || busWord > 0xFFFF) return false;
  pass.watts = v[0];
  pass.amperes = v[1];
  pass.shuntVolts = SignedWord(shuntWord) * 1e-5;
  pass.busVolts = std::floor(busWord / 8.0) * 0.004;
  pass.acknowledged = true;
  return true;
}

void AppendNumber(std::string& out, float value) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, value);
  out.append(text, r.ptr);
}

// The first pass in [first, last) at or after `t`. Passes come at a steady
// rate, so the column before tells where this column's edge lies: the passes
// next to that guess are looked at before the rest is bisected, which would
// take a dozen scattered reads per column.
size_t FirstFrom(const MeasurementSeries& series, size_t first, size_t last, double t,
                 size_t guess) {
  const auto before = [&](size_t i) { return series.At(i).time < t; };
  size_t lo = first, hi = last;  // the edge lies in [lo, hi]
  if (lo >= hi) return hi;
  size_t i = std::clamp(first + guess, lo, hi - 1);
  for (int probe = 0; probe < 4 && lo < hi; ++probe) {
    if (before(i)) {
      lo = i + 1;
      i = lo;
    } else {
      hi = i;
      i = hi - (hi > lo ? 1 : 0);
    }
  }
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (before(mid)) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}

}  // namespace

MeasurementSeries::MeasurementSeries(size_t capacity) : capacity_(std::max<size_t>(capacity, 8)) {}

void MeasurementSeries::Append(const MeasurementPass& pass) {
  if (!pass.acknowledged) {
    ++unacknowledged_;
    return;
  }
  // Dropping an eighth at once keeps the cost per pass constant.
  if (points_.size() >= capacity_) {
    // Whole large blocks, where the series holds many: the summaries of
    // the rest stay as they are, and a long capture does not stop for
    // summarising millions of passes again.
    const size_t whole = capacity_ / 8 / kLargeBlock * kLargeBlock;
    const size_t drop = whole > 0 ? whole : capacity_ / 8;
    points_.erase(points_.begin(), points_.begin() + static_cast<long>(drop));
    if (whole > 0) {
      small_.erase(small_.begin(), small_.begin() + static_cast<long>(drop / kSmallBlock));
      large_.erase(large_.begin(), large_.begin() + static_cast<long>(drop / kLargeBlock));
    } else {
      // The blocks start over from the new first pass.
      small_.clear();
      large_.clear();
      for (size_t i = 0; i < points_.size(); ++i) Summarise(i);
    }
  }
  Point p;
  p.time = pass.time;
  p.values = {static_cast<float>(pass.busVolts), static_cast<float>(pass.shuntVolts * 1000),
              static_cast<float>(pass.amperes), static_cast<float>(pass.watts)};
  points_.push_back(p);
  Summarise(points_.size() - 1);
}

void MeasurementSeries::Summarise(size_t index) {
  const Point& p = points_[index];
  const auto add = [&](std::vector<Summary>& blocks, size_t size) {
    const size_t offset = index % size;
    if (offset == 0) {
      Summary s;
      s.min = s.max = p.values;
      for (size_t q = 0; q < kQuantities; ++q) s.sum[q] = p.values[q];
      blocks.push_back(s);
      return;
    }
    Summary& s = blocks.back();
    for (size_t q = 0; q < kQuantities; ++q) {
      const float v = p.values[q];
      if (v < s.min[q]) s.min[q] = v, s.minAt[q] = static_cast<uint16_t>(offset);
      if (v > s.max[q]) s.max[q] = v, s.maxAt[q] = static_cast<uint16_t>(offset);
      s.sum[q] += v;
    }
  };
  add(small_, kSmallBlock);
  add(large_, kLargeBlock);
}

void MeasurementSeries::Merge(Extremes& e, const Summary& s, size_t start, size_t count, size_t q) {
  if (e.count == 0 || s.min[q] < e.min) e.min = s.min[q], e.minAt = start + s.minAt[q];
  if (e.count == 0 || s.max[q] > e.max) e.max = s.max[q], e.maxAt = start + s.maxAt[q];
  e.sum += s.sum[q];
  e.count += count;
}

MeasurementSeries::Extremes MeasurementSeries::ExtremesOf(Range range, Quantity quantity) const {
  const auto q = static_cast<size_t>(quantity);
  Extremes e;
  size_t i = range.first;
  while (i < range.last) {
    if (i % kLargeBlock == 0 && i + kLargeBlock <= range.last) {
      Merge(e, large_[i / kLargeBlock], i, kLargeBlock, q);
      i += kLargeBlock;
    } else if (i % kSmallBlock == 0 && i + kSmallBlock <= range.last) {
      Merge(e, small_[i / kSmallBlock], i, kSmallBlock, q);
      i += kSmallBlock;
    } else {
      const float v = points_[i].values[q];
      if (e.count == 0 || v < e.min) e.min = v, e.minAt = i;
      if (e.count == 0 || v > e.max) e.max = v, e.maxAt = i;
      e.sum += v;
      ++e.count;
      ++i;
    }
  }
  return e;
}

void MeasurementSeries::Clear() {
  points_.clear();
  small_.clear();
  large_.clear();
  unacknowledged_ = 0;
}

MeasurementSeries::Range MeasurementSeries::Span(double from, double to) const {
  // A clock set back leaves times out of order; the span then still ends at
  // the newest pass rather than nowhere.
  const auto before = [](const Point& p, double t) { return p.time < t; };
  const auto first = std::lower_bound(points_.begin(), points_.end(), from, before);
  const auto last = std::upper_bound(first, points_.end(), to,
                                     [](double t, const Point& p) { return t < p.time; });
  return Range{static_cast<size_t>(first - points_.begin()),
               static_cast<size_t>(last - points_.begin())};
}

std::vector<PlotPoint> Decimate(const MeasurementSeries& series, MeasurementSeries::Range range,
                                Quantity q, double from, double to, int columns) {
  std::vector<PlotPoint> out;
  if (range.Count() == 0 || columns <= 0) return out;
  if (range.Count() <= static_cast<size_t>(columns) * 2 || !(to > from)) {
    out.reserve(range.Count());
    for (size_t i = range.first; i < range.last; ++i) {
      const auto& p = series.At(i);
      out.push_back({p.time, ValueOf(p, q)});
    }
    return out;
  }
  out.reserve(static_cast<size_t>(columns) * 2);
  const double width = (to - from) / columns;
  size_t first = range.first;
  size_t guess = range.Count() / static_cast<size_t>(columns);
  for (int column = 0; column < columns && first < range.last; ++column) {
    // The passes up to the column's right edge; the last column takes the rest.
    size_t last = range.last;
    if (column + 1 < columns) {
      last = FirstFrom(series, first, range.last, from + (column + 1) * width, guess);
    }
    guess = last - first;
    if (last == first) continue;
    const MeasurementSeries::Extremes e = series.ExtremesOf({first, last}, q);
    const size_t a = std::min(e.minAt, e.maxAt), b = std::max(e.minAt, e.maxAt);
    out.push_back({series.At(a).time, ValueOf(series.At(a), q)});
    if (b != a) out.push_back({series.At(b).time, ValueOf(series.At(b), q)});
    first = last;
  }
  return out;
}

SpanStatistics StatisticsOf(const MeasurementSeries& series, MeasurementSeries::Range range,
                            Quantity q) {
  SpanStatistics s;
  s.count = range.Count();
  if (s.count == 0) return s;
  const MeasurementSeries::Extremes e = series.ExtremesOf(range, q);
  s.min = e.min;
  s.max = e.max;
  s.mean = e.sum / static_cast<double>(e.count);
  s.last = ValueOf(series.At(range.last - 1), q);
  return s;
}

LogReadResult ReadLogText(std::string_view text, MeasurementSeries& series) {
  static constexpr std::string_view kRecordEnd = "\"\r\n\"\r\n";
  LogReadResult result;
  result.opened = true;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(kRecordEnd, start);
    // A record without its end was cut short: its last number may be too.
    if (end == std::string_view::npos) {
      ++result.skipped;
      break;
    }
    const std::string_view record = text.substr(start, end - start);
    start = end + kRecordEnd.size();
    if (record.rfind("\"Date_Stamp\"", 0) == 0) continue;
    MeasurementPass pass;
    if (ParseRecord(record, pass)) {
      series.Append(pass);
      ++result.records;
    } else {
      ++result.skipped;
    }
  }
  return result;
}

LogReadResult ReadLogFile(const std::string& path, MeasurementSeries& series) {
  const auto text = ReadWholeFile(path, FileKind::Log);
  if (!text) return {};
  return ReadLogText(*text, series);
}

std::string SeriesCsv(const MeasurementSeries& series, MeasurementSeries::Range range) {
  std::string out = "Time,Bus Voltage (V),Shunt Voltage (mV),Current (A),Power (W)\r\n";
  for (size_t i = range.first; i < range.last; ++i) {
    const auto& p = series.At(i);
    out += TimeStampText(p.time);
    for (const float v : p.values) {
      out += ',';
      // A quantity the capture did not read is an empty field, not "nan".
      if (std::isfinite(v)) AppendNumber(out, v);
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace evm
