// SPDX-License-Identifier: GPL-3.0-or-later
// Bench::Capture on the virtual clock and on the run's thread in real time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/utf8_path.h"
#include "support/temp_dir.h"
#include "zm5520evm/bench.h"

namespace evm {
namespace {

// Pulses again and again, so that a slow start on a busy machine misses
// one, not the test.
BenchOptions Simulated(bool fakeClock) {
  return {.simulate = true,
          .simulation = {.fakeClock = fakeClock,
                         .load = "pulse:at=0.5,width=0.1,volts=10;pulse:at=1,width=0.1,volts=10;"
                                 "pulse:at=1.5,width=0.1,volts=10;pulse:at=2,width=0.1,volts=10"}};
}

TEST(BenchCapture, CatchesThePulseOnVirtualAndRealTime) {
  for (const bool fakeClock : {true, false}) {
    SCOPED_TRACE(fakeClock);
    test::TempDir dir;
    // The bus voltage needs no calibration, which would take the time of
    // its reads.
    auto bench = Bench::Open(Simulated(fakeClock));
    std::vector<CaptureResult> told;
    const CaptureSummary s = bench->Capture({.trigger = "bus_volts<11",
                                             .preSeconds = 0.05,
                                             .postSeconds = 0.1,
                                             .timeoutSeconds = 3,
                                             .folder = dir.path() / "out"},
                                            [&](const CaptureResult& c) { told.push_back(c); });
    EXPECT_EQ(s.captures, 1);
    EXPECT_FALSE(s.timedOut || s.stopped || s.cut);
    ASSERT_EQ(told.size(), 1u);
    const CaptureResult& c = told[0];
    ASSERT_LT(c.triggerIndex, c.samples.size());
    EXPECT_EQ(c.samples[c.triggerIndex].timeSeconds, c.triggerTimeSeconds);
    EXPECT_LT(c.samples[c.triggerIndex].busVolts, 11);
    EXPECT_GE(c.triggerTimeSeconds - c.samples.front().timeSeconds, 0.05 - 1e-6);
    EXPECT_GE(c.samples.back().timeSeconds - c.triggerTimeSeconds, 0.1 - 1e-6);
    EXPECT_TRUE(std::filesystem::is_regular_file(PathFromUtf8(c.file)));  // saved first
  }
}

}  // namespace
}  // namespace evm
