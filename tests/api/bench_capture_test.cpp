// SPDX-License-Identifier: GPL-3.0-or-later
// Bench::Capture on the virtual clock and on the run's thread in real time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"
#include "zm5520evm/bench.h"

namespace evm {
namespace {

BenchOptions Simulated(bool fakeClock, const std::string& fault = "") {
  return {.simulate = true,
          .simulation = {
              .fakeClock = fakeClock, .fault = fault, .load = "pulse:at=0.5,width=0.1,volts=10"}};
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
    // Saved before it was told, whole.
    std::ifstream file(std::filesystem::u8path(c.file));
    size_t lines = 0;
    for (std::string line; std::getline(file, line);) ++lines;
    EXPECT_EQ(lines, c.samples.size() + 3);
  }
}

TEST(BenchCapture, BadRequestsAreRefusedBeforeAnyBoardIsTouched) {
  test::TempDir dir;
  std::ofstream(dir.path() / "plain") << "x";
  const struct {
    CaptureRequest request;
    const char* error;
    bool file;  // FileError, else ParseError
  } cases[] = {
      {{.trigger = "amp>1"}, "watches 'amp'", false},
      {{.trigger = "amps>1", .preSeconds = 4000}, "pre-trigger time", false},
      {{.trigger = "amps>1", .mode = AcquisitionMode::Passes}, "fast samples", false},
      {{.trigger = "shunt_volts>1", .mode = AcquisitionMode::FastTwo}, "two registers", false},
      {{.trigger = "amps>1", .timeoutSeconds = -1}, "time-out", false},
      {{.trigger = "amps>1", .folder = dir.path() / "plain"}, "capture folder", true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.error);
    // No board at all: a refusal that touched one would be NoBoardError.
    auto bench = Bench::Open(Simulated(true, "reglink:no-board"));
    try {
      bench->Capture(k.request);
      ADD_FAILURE() << "not refused";
    } catch (const FileError& e) {
      EXPECT_TRUE(k.file);
      EXPECT_NE(std::string(e.what()).find(k.error), std::string::npos) << e.what();
    } catch (const ParseError& e) {
      EXPECT_FALSE(k.file);
      EXPECT_NE(std::string(e.what()).find(k.error), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace evm
