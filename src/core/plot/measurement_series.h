// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "acquisition/measurement_pass.h"
#include "common/clock.h"
#include "common/date_seconds.h"

namespace evm {

// The four quantities of a pass, in the order the plot lists them.
enum class Quantity { BusVolts, ShuntMillivolts, Amperes, Watts };
inline constexpr size_t kQuantities = 4;

// The passes of a continuous reading, compact enough to hold a day of them:
// one time and four single-precision values per pass, no per-point object.
// When `capacity` passes are held the oldest ones make room.
class MeasurementSeries {
 public:
  struct Point {
    double time = 0;
    std::array<float, kQuantities> values{};
  };
  static constexpr size_t kBytesPerPass = sizeof(Point);
  static constexpr size_t kDefaultCapacity = 200000;

  explicit MeasurementSeries(size_t capacity = kDefaultCapacity);

  // Only acknowledged passes hold measurements; the others are counted.
  void Append(const MeasurementPass& pass);
  void Clear();

  size_t Size() const { return points_.size(); }
  bool Empty() const { return points_.empty(); }
  const Point& At(size_t i) const { return points_[i]; }
  double FirstTime() const { return points_.front().time; }
  double LastTime() const { return points_.back().time; }
  long UnacknowledgedPasses() const { return unacknowledged_; }

  // Indices [first, last) of the points with from <= time <= to.
  struct Range {
    size_t first = 0;
    size_t last = 0;
    size_t Count() const { return last - first; }
  };
  Range Span(double from, double to) const;

  // Smallest and largest value of a quantity over [first, last), where they
  // are, and the sum: found through summaries of blocks of passes, so the
  // cost grows with the blocks at the ends, not with the passes between.
  struct Extremes {
    size_t count = 0;
    float min = 0, max = 0;
    size_t minAt = 0, maxAt = 0;
    double sum = 0;
  };
  Extremes ExtremesOf(Range range, Quantity q) const;

  // What the summaries add to each pass, on average.
  static constexpr size_t kSmallBlock = 32;
  static constexpr size_t kLargeBlock = 512;

 private:
  struct Summary {
    std::array<float, kQuantities> min{}, max{};
    std::array<uint16_t, kQuantities> minAt{}, maxAt{};  // within the block
    std::array<double, kQuantities> sum{};
  };
  void Summarise(size_t index);
  static void Merge(Extremes& e, const Summary& s, size_t start, size_t count, size_t q);

  std::vector<Point> points_;
  std::vector<Summary> small_, large_;
  size_t capacity_;
  long unacknowledged_ = 0;
};

// A drawable line of `columns` pixel columns over [from, to]: per column the
// smallest and the largest value in time order, so no peak is lost however
// many passes share a column. A column with a single pass gives one point.
struct PlotPoint {
  double time = 0;
  double value = 0;
};
std::vector<PlotPoint> Decimate(const MeasurementSeries& series, MeasurementSeries::Range range,
                                Quantity q, double from, double to, int columns);

struct SpanStatistics {
  size_t count = 0;
  double min = 0;
  double mean = 0;
  double max = 0;
  double last = 0;
};
SpanStatistics StatisticsOf(const MeasurementSeries& series, MeasurementSeries::Range range,
                            Quantity q);

// The passes of a continuous-read log file, with the records that could not
// be read (a record cut short by a crash, a damaged line).
struct LogReadResult {
  bool opened = false;
  long records = 0;
  long skipped = 0;
};
LogReadResult ReadLogText(std::string_view text, MeasurementSeries& series);
LogReadResult ReadLogFile(const std::string& path, MeasurementSeries& series);

// The visible passes as CSV: time, then the four quantities.
std::string SeriesCsv(const MeasurementSeries& series, MeasurementSeries::Range range);

}  // namespace evm
