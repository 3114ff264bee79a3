// SPDX-License-Identifier: GPL-3.0-or-later
#include "plot/fast_plot_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/sim_fixture.h"

namespace evm {
namespace {

Sample SampleAt(double time, bool acknowledged = true) {
  Sample s;
  s.time = time;
  s.acknowledged = acknowledged;
  s.readMask = 0b10100;  // bus and current
  return s;
}

TEST(FastPlotFeed, PlotsTheAnsweredCountsTheOthersAndRatesTheNewestSecond) {
  // Slow at first, then a second at 100 a second.
  std::vector<Sample> speedsUp = {SampleAt(100), SampleAt(101), SampleAt(102)};
  for (int i = 0; i < 100; ++i) speedsUp.push_back(SampleAt(103 + i * 0.01));
  struct Case {
    std::vector<Sample> samples;
    size_t plotted;
    long unacknowledged;
    double rate;
  };
  const Case cases[] = {
      {{SampleAt(0), SampleAt(0, false), SampleAt(0.004), SampleAt(0, false), SampleAt(0.008)},
       3,
       2,
       250},
      {speedsUp, 103, 0, 100},
      {{SampleAt(5), SampleAt(6, false)}, 1, 1, 0},
  };
  for (const Case& c : cases) {
    MeasurementSeries series;
    FastPlotFeed feed;
    // In two drains: the counts and the rate carry over.
    const auto half = c.samples.begin() + static_cast<long>(c.samples.size() / 2);
    feed.Add({c.samples.begin(), half}, series);
    feed.Add({half, c.samples.end()}, series);
    EXPECT_EQ(series.Size(), c.plotted) << c.samples.size();
    EXPECT_EQ(feed.Unacknowledged(), c.unacknowledged) << c.samples.size();
    EXPECT_NEAR(feed.Rate(), c.rate, 1e-6) << c.samples.size();
  }
}

TEST(FastPlotRun, TakesEverySampleOfTheSimulatedBoardScaledByTheStoresLsbs) {
  for (const bool two : {false, true}) {
    test::SimContext ctx;
    ctx.evm.registers().CurrentLsb = 1e-4;
    // Calibrated, so that the device's current register holds a current.
    ASSERT_TRUE(ctx.evm.regLink().OpenRegLink());
    ctx.evm.regLink().WriteRegWord(0x40, 5, 0x10, 0x00);
    MeasurementSeries series(FastPlotRun::kSeriesCapacity);
    FastPlotRun run(ctx.evm);
    ctx.evm.measurement().ContinuousRead = true;
    EXPECT_NE(run.Start(two), "") << "the continuous read holds the board";
    ctx.evm.measurement().ContinuousRead = false;
    ASSERT_EQ(run.Start(two, 900), "");
    EXPECT_NE(run.Start(two), "") << "one run at a time";
    for (int turn = 0; run.Running() && turn < 1'000'000; ++turn) run.Drain(series);
    ASSERT_FALSE(run.Running());
    // More than the buffer holds: on virtual time the worker waits for the drain.
    EXPECT_EQ(series.Size(), 900u) << two;
    EXPECT_EQ(run.Lost(), 0);
    EXPECT_EQ(run.EndText(), "The run is complete.");
    EXPECT_GT(run.Rate(), 100);
    EXPECT_EQ(std::isnan(series.At(0).values[1]), two) << "no shunt voltage in two registers";
    EXPECT_NEAR(series.At(0).values[2], 0.1, 0.005) << "about 1000 LSBs of the store's 0.1 mA";
  }
}

}  // namespace
}  // namespace evm
