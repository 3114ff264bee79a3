// SPDX-License-Identifier: GPL-3.0-or-later
// The pass loop on the simulated EVM, which keeps time as the hardware does:
// a register read costs two USB frames, the device converts on its own clock.
#include "acquisition/acquisition.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "acquisition/conversion_time.h"
#include "acquisition/fast_log.h"
#include "devices/sim/sim_load.h"
#include "registers/config_fields.h"
#include "reglink/register_link.h"
#include "support/sim_fixture.h"

namespace evm {
namespace {

constexpr uint16_t kNineBits = 0x3807;      // 9-bit shunt and bus, continuous
constexpr uint16_t kAverage128 = 0x3FFF;    // 128 averages of each
constexpr uint16_t kTriggered128 = 0x3FFB;  // the same, triggered

struct Fixture {
  explicit Fixture(uint16_t config, const char* profile = "") {
    boardsStarted = ctx.clock.SecondsSinceMidnight();
    sim::Zm5520Model& device = ctx.sim->RegLink()->Device();
    device.load.noise = false;
    std::string error;
    device.profile = *sim::LoadProfile::Parse(profile, &error);
    Write(0, config);
    // The current register counts the shunt's 10 uV steps one to one.
    Write(5, 4096);
  }
  void Write(int reg, uint16_t value) {
    ASSERT_TRUE(ctx.evm.regLink().WriteRegWord(0x40, reg, static_cast<uint8_t>(value >> 8),
                                               static_cast<uint8_t>(value & 0xFF)));
  }
  std::vector<Sample> Run(
      AcquisitionMode mode, double seconds,
      const std::function<bool()>& stopped = [] { return false; }) {
    Acquirer acquirer(ctx.evm.regLink(), ctx.clock, {.mode = mode, .seconds = seconds});
    std::vector<Sample> samples;
    while (auto s = acquirer.Next(stopped)) samples.push_back(*s);
    end = acquirer.End();
    counts = acquirer.Counts();
    return samples;
  }
  static int16_t Current(const Sample& s) { return static_cast<int16_t>(s.registers.values[4]); }

  test::SimContext ctx;
  double boardsStarted = 0;  // time of day the simulated load counts from
  AcquisitionEnd end = AcquisitionEnd::Running;
  AcquisitionCounts counts;
};

// The rates the link and the device allow: four registers take 8 ms on
// 1 ms frames, two take 4 ms, and 128 averages of both take 136.2 ms. A
// ramp of 2 A/s makes every conversion differ from the one before, so a
// conversion read twice would show as two equal samples.
TEST(Acquisition, ReadsEachConversionOnceAtTheRateOfTheLinkOrTheDevice) {
  const struct {
    uint16_t config;
    AcquisitionMode mode;
    double low, high;  // samples a second
  } cases[] = {
      {kNineBits, AcquisitionMode::Fast, 120, 125},
      {kNineBits, AcquisitionMode::FastTwo, 240, 250},
      {kAverage128, AcquisitionMode::Fast, 7.2, 7.35},
      {kAverage128, AcquisitionMode::FastTwo, 7.2, 7.35},
      {kTriggered128, AcquisitionMode::Fast, 6.5, 7.35},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.mode));
    SCOPED_TRACE(k.config);
    Fixture f(k.config, "ramp:at=0,over=15,amps=30");
    const std::vector<Sample> s = f.Run(k.mode, 10);
    EXPECT_EQ(f.end, AcquisitionEnd::Done);
    const double rate = static_cast<double>(s.size() - 1) / (s.back().time - s.front().time);
    EXPECT_GE(rate, k.low) << f.counts.notReady << " not ready of " << s.size();
    EXPECT_LE(rate, k.high);
    for (size_t i = 1; i < s.size(); ++i) {
      ASSERT_GT(Fixture::Current(s[i]), Fixture::Current(s[i - 1])) << "sample " << i;
      ASSERT_GT(s[i].time, s[i - 1].time);
    }
    EXPECT_EQ(f.counts.unacknowledged, 0) << f.counts.notReady;
    // Two registers read power only where the ready bit must be cleared.
    EXPECT_EQ(s.back().Has(3), k.mode == AcquisitionMode::Fast || k.config != kNineBits);
    EXPECT_EQ(s.back().Has(1), k.mode == AcquisitionMode::Fast);
  }
}

// A load step shows in the first sample read after it, within one sample
// period; the time is the reply's, so the step is where it happened.
TEST(Acquisition, ALoadStepAppearsAtItsTimeWithinOneSample) {
  const struct {
    uint16_t config;
    AcquisitionMode mode;
    double period;
  } cases[] = {
      {kNineBits, AcquisitionMode::Fast, 0.008},
      {kNineBits, AcquisitionMode::FastTwo, 0.004},
      {kAverage128, AcquisitionMode::Fast, 0.1362},
  };
  for (const auto& k : cases) {
    Fixture f(k.config, "step:at=3,amps=2");
    const double boardsStarted = f.boardsStarted;
    const std::vector<Sample> s = f.Run(k.mode, 5);
    const auto step = std::find_if(s.begin(), s.end(),
                                   [](const Sample& x) { return Fixture::Current(x) > 1500; });
    ASSERT_NE(step, s.end());
    ASSERT_NE(step, s.begin());
    const double dayStart = s.front().time - std::fmod(s.front().time, 86400);
    const double at = step->time - dayStart - boardsStarted;
    EXPECT_GE(at, 3.0);
    EXPECT_LE(at, 3.0 + k.period + 0.002);
    EXPECT_LT(std::prev(step)->time - dayStart - boardsStarted, 3.0 + 0.002);
  }
}

// A device that stops acknowledging is counted, sample by sample, and the
// run goes on; a link that stops answering ends the run.
TEST(Acquisition, SamplesTheDeviceDidNotAcknowledgeAreCountedAndALinkSilentEndsTheRun) {
  const struct {
    void (*start)(sim::RegLinkBoard&);
    AcquisitionEnd end;
    bool someUnacknowledged;
  } cases[] = {
      {[](sim::RegLinkBoard& b) { b.forcedStatus = 1; }, AcquisitionEnd::Done, true},
      {[](sim::RegLinkBoard& b) { b.noReply = true; }, AcquisitionEnd::LinkSilent, false},
  };
  for (const auto& k : cases) {
    Fixture f(kNineBits);
    sim::RegLinkBoard& board = *f.ctx.sim->RegLink();
    f.ctx.sim->ScheduleFault(
        board, [&] { k.start(board); }, 400);
    const std::vector<Sample> s = f.Run(AcquisitionMode::Fast, 5);
    EXPECT_EQ(f.end, k.end);
    const auto unacknowledged =
        std::count_if(s.begin(), s.end(), [](const Sample& x) { return !x.acknowledged; });
    EXPECT_EQ(unacknowledged, f.counts.unacknowledged);
    EXPECT_EQ(unacknowledged > 0, k.someUnacknowledged);
    EXPECT_GE(s.size(), 99u);  // the 100 samples before the fault
  }
}

// A stop ends the run within one sample period, however slow the device.
TEST(Acquisition, AStopEndsTheRunWithinOneSamplePeriod) {
  for (const uint16_t config : {kNineBits, kAverage128}) {
    Fixture f(config);
    const double stopAt = f.ctx.clock.SecondsSinceMidnight() + 2.05;
    std::vector<Sample> s = f.Run(AcquisitionMode::Fast, 0,
                                  [&] { return f.ctx.clock.SecondsSinceMidnight() >= stopAt; });
    EXPECT_EQ(f.end, AcquisitionEnd::Stopped);
    const double late = f.ctx.clock.SecondsSinceMidnight() - stopAt;
    EXPECT_LE(late, ConversionSetMicroseconds(config) / 1e6 + 0.010) << config;
  }
}

// The continuous read's pass: six registers, each after the settle time.
TEST(Acquisition, APassIsTheSixRegistersAfterTheirSettleTime) {
  Fixture f(0x399F);
  const int64_t before = f.ctx.clock.ElapsedMs();
  const std::vector<Sample> s = f.Run(AcquisitionMode::Passes, 0.1);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].readMask, 0x3F);
  EXPECT_EQ(s[0].registers.values[0], 0x399F);
  EXPECT_EQ(s[0].registers.values[5], 4096);
  EXPECT_GE(f.ctx.clock.ElapsedMs() - before, 6 * RegisterLink::kRegisterSettleMs);
}

// A device powered down converts nothing: a fast run says so at once.
TEST(Acquisition, APoweredDownDeviceEndsAFastRunAtItsStart) {
  Fixture f(0x3998);
  EXPECT_TRUE(f.Run(AcquisitionMode::Fast, 1).empty());
  EXPECT_EQ(f.end, AcquisitionEnd::PoweredDown);
}

// On the system clock the simulated link costs real time: the rate is the
// link's, not the processor's.
TEST(Acquisition, OnTheSystemClockTheRateIsTheLinks) {
  SystemClock clock;
  test::RecordingUi ui;
  test::TempDir dir;
  auto platform = MakeSimulatedEvm({.simulate = true}, clock);
  Evm evm(EvmSeams{*platform, clock, ui, NumberLocale::Point(), dir.path(), kDefaultBoardVendorId});
  ASSERT_TRUE(evm.regLink().WriteRegWord(0x40, 0, kNineBits >> 8, kNineBits & 0xFF));
  AcquisitionRun run(evm.regLink(), clock, {.mode = AcquisitionMode::Fast, .seconds = 0.4}, 64,
                     SampleBuffer::WhenFull::Drop);
  run.Start({});
  std::vector<Sample> s;
  while (run.Buffer().Take(s, 64, std::chrono::milliseconds(50))) {
  }
  run.Join();
  ASSERT_GT(s.size(), 2u);
  const double rate = static_cast<double>(s.size() - 1) / (s.back().time - s.front().time);
  EXPECT_LE(rate, 126);  // two 1 ms frames a register, four registers
  // A loaded machine, or Wine's sleeps of a millisecond and a third,
  // oversleep the frames; the program's own time is nothing beside them.
  EXPECT_GE(rate, 25);
}

Sample SampleAt(int seconds) {
  Sample s;
  s.time = seconds;
  return s;
}

// A run of more than a day ends when its seconds are over, not when the
// time of day comes round to where it began.
TEST(RunLengthTest, ARunLongerThanADayEndsAfterItsSeconds) {
  for (const double seconds : {3600.0, 86400.0, 90000.0, 3 * 86400.0}) {
    FakeClock clock;
    RunLength run;
    run.seconds = seconds;
    run.Start(clock);
    double ran = 0;
    while (!run.Over(0, clock) && ran < 5 * 86400) {
      clock.AdvanceMs(600000);
      ran += 600;
    }
    EXPECT_EQ(ran, seconds);
  }
}

TEST(SampleBuffer, KeepsItsBoundDroppingOrWaiting) {
  SampleBuffer dropping(2, SampleBuffer::WhenFull::Drop);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(dropping.Push(SampleAt(i)));
  EXPECT_EQ(dropping.Dropped(), 3);
  std::vector<Sample> out;
  dropping.Finish();
  EXPECT_TRUE(dropping.Take(out, 10, std::chrono::milliseconds(0)));
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1].time, 1);
  EXPECT_FALSE(dropping.Take(out, 10, std::chrono::milliseconds(0)));

  SampleBuffer waiting(1, SampleBuffer::WhenFull::Wait);
  std::thread reader([&] {
    for (int i = 0; i < 1000; ++i) waiting.Push(SampleAt(i));
    waiting.Finish();
  });
  std::vector<Sample> all;
  while (waiting.Take(all, 7, std::chrono::milliseconds(100))) {
  }
  reader.join();
  ASSERT_EQ(all.size(), 1000u);
  EXPECT_EQ(waiting.Dropped(), 0);
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i].time, double(i));

  // A consumer that leaves wakes a reader waiting for room.
  SampleBuffer left(1, SampleBuffer::WhenFull::Wait);
  left.Push(Sample{});
  std::thread blocked([&] { EXPECT_FALSE(left.Push(Sample{})); });
  left.Abandon();
  blocked.join();
}

TEST(FastLog, OneLinePerSampleWithTheColumnsItRead) {
  Sample four;
  four.time = 100.25;
  four.readMask = 0x1F;
  four.registers.values = {0x399F, 1000, 24002, 600, 10000};
  Sample two = four;
  two.readMask = 0x15;
  FastLog log;
  test::TempDir dir;
  std::error_code ec;
  ASSERT_TRUE(log.Open(dir.path() / "f.csv", 100, ec));
  const Scaling s{1e-4, 2e-3};
  EXPECT_EQ(log.Line(four, ScaleSample(four, s)),
            "0.250000,12.000,0.01000,1,1.2,1000,24002,600,10000\n");
  EXPECT_EQ(log.Line(two, ScaleSample(two, s)), "0.250000,12.000,,1,12,,24002,,10000\n");
}

}  // namespace
}  // namespace evm
