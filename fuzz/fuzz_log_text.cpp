// SPDX-License-Identifier: GPL-3.0-or-later
// The Measurement Plot's log reader, then what the plot does with what it
// read: the block summaries agree with a plain scan, the statistics lie
// within the extremes, and a decimated line has at most two points a column
// (or every pass, when the times run backwards).
#include <cmath>

#include "fuzz_support.h"
#include "plot/measurement_series.h"

using namespace evm;

namespace {

void Check(const MeasurementSeries& series, int columns) {
  FUZZ_CHECK(series.Size() <= MeasurementSeries::kDefaultCapacity);
  if (series.Empty()) return;
  const MeasurementSeries::Range all{0, series.Size()};
  for (size_t q = 0; q < kQuantities; ++q) {
    const auto quantity = static_cast<Quantity>(q);
    bool finite = true;
    float min = series.At(0).values[q], max = min;
    for (size_t i = 0; i < series.Size(); ++i) {
      const float v = series.At(i).values[q];
      finite = finite && std::isfinite(v);
      min = std::min(min, v);
      max = std::max(max, v);
    }
    const auto e = series.ExtremesOf(all, quantity);
    FUZZ_CHECK(e.count == series.Size());
    if (finite) {
      FUZZ_CHECK(e.min == min && e.max == max);
      FUZZ_CHECK(series.At(e.minAt).values[q] == min && series.At(e.maxAt).values[q] == max);
      const auto s = StatisticsOf(series, all, quantity);
      FUZZ_CHECK(s.count == series.Size());
      const double slack = 1e-6 * (std::fabs(s.min) + std::fabs(s.max)) + 1e-30;
      if (std::isfinite(s.mean)) FUZZ_CHECK(s.min - slack <= s.mean && s.mean <= s.max + slack);
    }
    const auto line =
        Decimate(series, all, quantity, series.FirstTime(), series.LastTime(), columns);
    // A log whose clock was set back has no span to divide into columns: it
    // is drawn pass by pass.
    if (series.LastTime() > series.FirstTime()) {
      FUZZ_CHECK(line.size() <= 2 * static_cast<size_t>(columns) + 2);
    } else {
      FUZZ_CHECK(line.size() == series.Size());
    }
  }
  (void)SeriesCsv(series, all);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  // 8 is the smallest capacity a series takes as asked: the one where it
  // first drops its oldest passes.
  for (const size_t capacity : {size_t{8}, MeasurementSeries::kDefaultCapacity}) {
    MeasurementSeries series(capacity);
    const LogReadResult read = ReadLogText(text, series);
    FUZZ_CHECK(series.Size() <= capacity);
    FUZZ_CHECK(static_cast<long>(series.Size()) <= read.records);
    Check(series, 1 + static_cast<int>(size % 640));
  }
  return 0;
}
