// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/measurement_series.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "acquisition/continuous_read.h"
#include "plot/axis_ticks.h"
#include "registers/register_fixture.h"

namespace evm {
namespace {

MeasurementPass PassAt(double time, double value) {
  return MeasurementPass{time, value, value * 2e-3, value * 3, value * 4, true};
}

TEST(MeasurementSeries, SpansStatisticsAndBound) {
  MeasurementSeries s(16);
  for (int i = 0; i < 10; ++i) s.Append(PassAt(i, i));
  s.Append(MeasurementPass{10.5, 99, 99, 99, 99, false});
  EXPECT_EQ(s.Size(), 10u);
  EXPECT_EQ(s.UnacknowledgedPasses(), 1);
  struct Case {
    double from, to;
    size_t first, last;
  };
  for (const Case& c : {Case{2, 5, 2, 6}, Case{-5, 0.5, 0, 1}, Case{9.5, 20, 10, 10},
                        Case{2.5, 2.6, 3, 3}, Case{-1, 100, 0, 10}}) {
    const auto r = s.Span(c.from, c.to);
    EXPECT_EQ(r.first, c.first) << c.from;
    EXPECT_EQ(r.last, c.last) << c.from;
  }
  const SpanStatistics st = StatisticsOf(s, s.Span(2, 5), Quantity::Watts);
  EXPECT_EQ(st.count, 4u);
  EXPECT_DOUBLE_EQ(st.min, 8);
  EXPECT_DOUBLE_EQ(st.max, 20);
  EXPECT_DOUBLE_EQ(st.mean, 14);
  EXPECT_DOUBLE_EQ(st.last, 20);
  EXPECT_EQ(StatisticsOf(s, s.Span(50, 60), Quantity::Watts).count, 0u);

  // Full: the oldest passes make room, the newest is kept.
  for (int i = 10; i < 40; ++i) s.Append(PassAt(i, i));
  EXPECT_LE(s.Size(), 16u);
  EXPECT_EQ(s.LastTime(), 39);
}

TEST(MeasurementSeries, SummariesStayTrueAfterTheOldestMakeRoom) {
  // Small and large series: an eighth of whole large blocks goes at once,
  // or, below that, an eighth summarised again.
  for (const size_t capacity : {size_t{16}, size_t{8192}, size_t{20000}}) {
    MeasurementSeries s(capacity);
    const int total = static_cast<int>(capacity * 7 / 2);
    for (int i = 0; i < total; ++i) s.Append(PassAt(i, std::sin(i * 0.37) * (1 + i % 13)));
    ASSERT_LE(s.Size(), capacity);
    ASSERT_EQ(s.LastTime(), total - 1);
    const size_t n = s.Size();
    for (const auto r : {MeasurementSeries::Range{0, n}, MeasurementSeries::Range{1, n - 1},
                         MeasurementSeries::Range{n / 3, n / 3 + n / 2}}) {
      const auto e = s.ExtremesOf(r, Quantity::Amperes);
      float lo = s.At(r.first).values[2], hi = lo;
      double sum = 0;
      for (size_t i = r.first; i < r.last; ++i) {
        lo = std::min(lo, s.At(i).values[2]);
        hi = std::max(hi, s.At(i).values[2]);
        sum += s.At(i).values[2];
      }
      EXPECT_EQ(e.count, r.Count()) << capacity;
      EXPECT_EQ(s.At(e.minAt).values[2], lo) << capacity << " " << r.first;
      EXPECT_EQ(s.At(e.maxAt).values[2], hi) << capacity << " " << r.first;
      EXPECT_NEAR(e.sum, sum, 1e-6 * static_cast<double>(r.Count())) << capacity;
    }
  }
}

TEST(MeasurementSeries, DecimationKeepsEveryColumnsExtremes) {
  constexpr int kPasses = 150000;
  constexpr int kColumns = 300;
  // The time from one pass to the next, steady and with pauses and bursts:
  // columns of very different counts, some empty.
  const std::function<double(int)> gaps[] = {
      [](int) { return 0.1; },
      [](int i) { return i % 20000 == 0    ? 900.0
                         : i % 7000 < 3000 ? 0.01
                                           : 0.3; },
  };
  for (const auto& gap : gaps) {
    MeasurementSeries s;
    double now = 0;
    for (int i = 0; i < kPasses; ++i) {
      // A slow wave with a single-pass spike down and up in every 1000 passes.
      double v = std::sin(i * 1e-4);
      if (i % 1000 == 137) v = -5 - i % 7;
      if (i % 1000 == 611) v = 5 + i % 5;
      s.Append(PassAt(now, v));
      now += gap(i);
    }
    const double from = s.FirstTime(), to = s.LastTime();
    const auto line = Decimate(s, s.Span(from, to), Quantity::BusVolts, from, to, kColumns);
    EXPECT_LE(line.size(), 2u * kColumns + 2);
    for (size_t k = 1; k < line.size(); ++k) EXPECT_LE(line[k - 1].time, line[k].time);
    // Each column's extremes, worked out the slow way, appear in the line.
    const auto column = [&](double t) {
      return std::min<size_t>(static_cast<size_t>((t - from) * kColumns / (to - from)),
                              kColumns - 1);
    };
    std::vector<double> lo(kColumns, 1e9), hi(kColumns, -1e9);
    for (size_t i = 0; i < s.Size(); ++i) {
      const size_t c = column(s.At(i).time);
      lo[c] = std::min<double>(lo[c], s.At(i).values[0]);
      hi[c] = std::max<double>(hi[c], s.At(i).values[0]);
    }
    for (size_t c = 0; c < kColumns; ++c) {
      const auto has = [&](double v) {
        return std::any_of(line.begin(), line.end(),
                           [&](const PlotPoint& p) { return column(p.time) == c && p.value == v; });
      };
      if (lo[c] > hi[c]) {
        EXPECT_FALSE(std::any_of(line.begin(), line.end(),
                                 [&](const PlotPoint& p) { return column(p.time) == c; }))
            << "empty column " << c;
      } else {
        EXPECT_TRUE(has(lo[c]) && has(hi[c])) << "column " << c;
      }
    }
  }
  // Few passes are drawn as they are.
  MeasurementSeries few;
  for (int i = 0; i < 5; ++i) few.Append(PassAt(i, i));
  EXPECT_EQ(Decimate(few, few.Span(0, 4), Quantity::Amperes, 0, 4, kColumns).size(), 5u);
}

// What continuous reading logs reads back as the passes its listeners got.
TEST(MeasurementSeries, LogReadsBackAsThePassesListenersGot) {
  test::RegContext c;
  c.Device().SetRegisterForTest(5, 0xA000);
  c.Store().CurrentLsb = 1e-4;
  c.Store().PowerLsb = 0.002;
  const std::string path = (c.dir.path() / "log.csv").string();
  c.ui.saveFileAnswers.push_back(path);
  mnuLogToFile_Click(c.evm);
  std::vector<MeasurementPass> heard;
  const int id = c.evm.measurement().AddPassListener([&](const MeasurementPass& p) {
    heard.push_back(p);
    if (heard.size() == 4) cmdStopContinuousRead_Click(c.evm);
  });
  cmdStartContinuousRead_Click(c.evm, c.panels);
  c.evm.measurement().RemovePassListener(id);
  StopMeasurement(c.evm);
  ASSERT_EQ(heard.size(), 4u);
  EXPECT_TRUE(c.evm.measurement().passListeners.empty());

  MeasurementSeries s;
  const LogReadResult r = ReadLogFile(path, s);
  EXPECT_EQ(r.records, 4);
  EXPECT_EQ(r.skipped, 0);
  ASSERT_EQ(s.Size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const MeasurementPass& p = heard[i];
    EXPECT_GT(p.busVolts, 1);
    EXPECT_EQ(s.At(i).time, std::floor(p.time)) << "the log keeps whole seconds";
    EXPECT_EQ(s.At(i).values,
              (std::array<float, 4>{static_cast<float>(p.busVolts),
                                    static_cast<float>(p.shuntVolts * 1000),
                                    static_cast<float>(p.amperes), static_cast<float>(p.watts)}));
  }
}

TEST(MeasurementSeries, DamagedLogRecordsAreSkipped) {
  const std::string good =
      "\"01-15-2026 09:00:01\",12.5,.25,0,14751,1250,12000,6250,2500,40960,\"\r\n\"\r\n";
  struct Case {
    const char* name;
    std::string text;
    long records, skipped;
  };
  const Case cases[] = {
      {"cut short", good + good.substr(0, 30), 1, 1},
      {"cut in its end", good + good.substr(0, good.size() - 3), 1, 1},
      {"not a number", good + "\"01-15-2026 09:00:02\",x,.25,0,4,0,1,2,0,4,\"\r\n\"\r\n", 1, 1},
      {"bad stamp", "\"13-15-2026 09:00:02\"" + good.substr(21) + good, 1, 1},
      {"even count", "\"01-15-2026 09:00:02\",1,2,\"\r\n\"\r\n" + good, 1, 1},
  };
  for (const Case& k : cases) {
    MeasurementSeries s;
    const LogReadResult r = ReadLogText(k.text, s);
    EXPECT_EQ(r.records, k.records) << k.name;
    EXPECT_EQ(r.skipped, k.skipped) << k.name;
  }
  MeasurementSeries s;
  ReadLogText(good, s);
  ASSERT_EQ(s.Size(), 1u);
  // 12000 / 8 * 4 mV on the bus, 1250 * 10 uV across the shunt.
  EXPECT_EQ(s.At(0).values, (std::array<float, 4>{6.0f, 12.5f, 0.25f, 12.5f}));
  EXPECT_EQ(SeriesCsv(s, s.Span(0, 1e12)),
            "Time,Bus Voltage (V),Shunt Voltage (mV),Current (A),Power (W)\r\n"
            "2026-01-15 09:00:01.000,6,12.5,0.25,12.5\r\n");
  // A capture of two registers read no shunt voltage: its field stays empty.
  MeasurementSeries two;
  two.Append(MeasurementPass{.time = s.At(0).time,
                             .busVolts = 6,
                             .shuntVolts = std::nan(""),
                             .amperes = 0.25,
                             .watts = 1.5});
  EXPECT_EQ(SeriesCsv(two, two.Span(0, 1e12)),
            "Time,Bus Voltage (V),Shunt Voltage (mV),Current (A),Power (W)\r\n"
            "2026-01-15 09:00:01.000,6,,0.25,1.5\r\n");
}

TEST(AxisTicks, StepsAreOneTwoOrFiveTimesAPowerOfTenWithTheDecimalsTheyNeed) {
  struct Case {
    double lo, hi;
    int most;
    double first, step;
    int decimals;
  };
  const Case cases[] = {
      {0, 3.1, 5, 0, 1, 0},                      // seconds of a short run
      {11.9998, 12.0042, 5, 12.0, 0.001, 3},     // a bus voltage with noise
      {0.9975, 1.0025, 4, 0.998, 0.002, 3},      // a current
      {-0.0004, 0.0004, 4, -0.0004, 0.0002, 4},  // around zero
      {0, 50, 5, 0, 10, 0},                      // exactly five steps
      {0, 3600, 8, 0, 500, 0},
      {12, 12, 4, 12, 0.005, 3},  // flat: a thousandth of the value
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.lo << " to " << k.hi);
    const AxisTicks t = NiceTicks(k.lo, k.hi, k.most);
    EXPECT_NEAR(t.first, k.first, k.step * 1e-6);
    EXPECT_NEAR(t.step, k.step, k.step * 1e-9);
    EXPECT_EQ(t.decimals, k.decimals);
  }
  // "-0.000" says nothing that "0.000" does not.
  EXPECT_EQ(FixedText(-0.00001, 3, NumberLocale::Point()), "0.000");
  EXPECT_EQ(FixedText(12.00416, 4, NumberLocale::Comma()), "12,0042");
}

}  // namespace
}  // namespace evm
