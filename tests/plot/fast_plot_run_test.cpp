// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/fast_plot_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/sim_fixture.h"

namespace evm {
namespace {

Sample SampleAt(double time, bool acknowledged = true, bool two = false) {
  Sample s;
  s.time = time;
  s.acknowledged = acknowledged;
  s.registers.lastReg = 4;
  s.registers.values = {0x399F, 1000, 3000 << 3, 250, 2000, 0};
  s.readMask = two ? 0b10100 : 0b11110;
  return s;
}

TEST(FastPlotFeed, AppendsScaledSamplesCountsTheUnansweredAndMeasuresTheRate) {
  struct Case {
    const char* name;
    std::vector<Sample> samples;
    size_t plotted;
    long unacknowledged;
    double rate;
  };
  // Slow at first, then a second at 100 a second.
  std::vector<Sample> speedsUp = {SampleAt(100), SampleAt(101), SampleAt(102)};
  for (int i = 0; i < 100; ++i) speedsUp.push_back(SampleAt(103 + i * 0.01));
  const Case cases[] = {
      {"steady 4 ms", {SampleAt(0), SampleAt(0.004), SampleAt(0.008), SampleAt(0.012)}, 4, 0, 250},
      {"unanswered ones are counted, not drawn",
       {SampleAt(0), SampleAt(0, false), SampleAt(0.004), SampleAt(0, false), SampleAt(0.008)},
       3,
       2,
       250},
      {"the rate is the newest second's", speedsUp, 103, 0, 100},
      {"one sample gives no rate", {SampleAt(5)}, 1, 0, 0},
      {"none answered", {SampleAt(5, false), SampleAt(6, false)}, 0, 2, 0},
  };
  for (const Case& c : cases) {
    MeasurementSeries series;
    FastPlotFeed feed(Scaling{1e-3, 20e-3});
    // Delivered in two drains: the counts and the rate carry over.
    const auto half = c.samples.begin() + static_cast<long>(c.samples.size() / 2);
    feed.Add({c.samples.begin(), half}, series);
    feed.Add({half, c.samples.end()}, series);
    EXPECT_EQ(series.Size(), c.plotted) << c.name;
    EXPECT_EQ(feed.Unacknowledged(), c.unacknowledged) << c.name;
    EXPECT_EQ(feed.Samples(), static_cast<long>(c.samples.size())) << c.name;
    EXPECT_NEAR(feed.Rate(), c.rate, 1e-6) << c.name;
  }
}

TEST(FastPlotFeed, ScalesByTheCalibrationItWasGiven) {
  struct Case {
    bool two;
    double shuntMv, watts;
  };
  for (const Case c : {Case{false, 10, 250 * 20e-3}, Case{true, NAN, 12.0 * 2.0}}) {
    MeasurementSeries series;
    FastPlotFeed feed(Scaling{1e-3, 20e-3});
    feed.Add({SampleAt(1, true, c.two)}, series);
    ASSERT_EQ(series.Size(), 1u);
    const auto& v = series.At(0).values;
    EXPECT_FLOAT_EQ(v[static_cast<size_t>(Quantity::BusVolts)], 12.0f) << c.two;
    EXPECT_FLOAT_EQ(v[static_cast<size_t>(Quantity::Amperes)], 2.0f) << c.two;
    EXPECT_NEAR(v[static_cast<size_t>(Quantity::Watts)], c.watts, 1e-4) << c.two;
    if (std::isnan(c.shuntMv)) {
      EXPECT_TRUE(std::isnan(v[static_cast<size_t>(Quantity::ShuntMillivolts)]));
    } else {
      EXPECT_FLOAT_EQ(v[static_cast<size_t>(Quantity::ShuntMillivolts)], 10.0f);
    }
  }
}

// Drains until the run ends by itself; the worker alone uses the fake
// clock meanwhile.
void DrainToEnd(FastPlotRun& run, MeasurementSeries& series) {
  for (int turn = 0; run.Running() && turn < 1'000'000; ++turn) run.Drain(series);
}

TEST(FastPlotRun, RunsOnTheSimulatedBoardAndGivesItBack) {
  struct Case {
    bool two;
    long samples;
  };
  for (const Case c : {Case{false, 700}, Case{true, 900}}) {
    test::SimContext ctx;
    ctx.evm.registers().CurrentLsb = 1e-4;
    ctx.evm.registers().PowerLsb = 2e-3;
    // Calibrated, so that the device's current register holds a current.
    ASSERT_TRUE(ctx.evm.regLink().OpenRegLink());
    ctx.evm.regLink().WriteRegWord(0x40, 5, 0x10, 0x00);
    MeasurementSeries series(FastPlotRun::kSeriesCapacity);
    FastPlotRun run(ctx.evm);
    ASSERT_EQ(run.Start(c.two, c.samples), "") << c.two;
    EXPECT_NE(run.Start(c.two), "") << "one run at a time";
    DrainToEnd(run, series);
    ASSERT_FALSE(run.Running());
    // More samples than the buffer holds: the worker waited for the drain.
    EXPECT_EQ(series.Size(), static_cast<size_t>(c.samples)) << c.two;
    EXPECT_EQ(run.Samples(), c.samples);
    EXPECT_EQ(run.Lost(), 0);
    EXPECT_EQ(run.EndText(), "The run is complete.");
    EXPECT_GT(run.Rate(), 100) << "fast, not 1.6 passes a second";
    EXPECT_EQ(std::isnan(series.At(0).values[1]), c.two);
    EXPECT_GT(series.At(0).values[static_cast<size_t>(Quantity::Amperes)], 0) << "scaled";
    // Times come from the board's replies and only go forward.
    for (size_t i = 1; i < series.Size(); ++i) ASSERT_GT(series.At(i).time, series.At(i - 1).time);
  }
}

TEST(FastPlotRun, RefusesWhileTheContinuousReadHoldsTheBoardAndStopsOnRequest) {
  test::SimContext ctx;
  MeasurementSeries series;
  FastPlotRun run(ctx.evm);
  ctx.evm.measurement().ContinuousRead = true;
  EXPECT_NE(run.Start(false), "");
  EXPECT_FALSE(run.Running());
  ctx.evm.measurement().ContinuousRead = false;

  ASSERT_EQ(run.Start(false), "");
  for (int turn = 0; run.Samples() < 100 && turn < 1'000'000; ++turn) run.Drain(series);
  ASSERT_GE(run.Samples(), 100);
  run.Stop();
  EXPECT_FALSE(run.Running());
  EXPECT_EQ(run.EndText(), "") << "a stop is no failure to report";
  const size_t kept = series.Size();
  run.Drain(series);
  EXPECT_EQ(series.Size(), kept) << "nothing arrives after the stop";
  // The board is free again: the next run starts and reads.
  ASSERT_EQ(run.Start(true, 10), "");
  DrainToEnd(run, series);
  EXPECT_EQ(run.Samples(), 10);
}

}  // namespace
}  // namespace evm
