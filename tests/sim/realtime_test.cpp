// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated EVM in time: USB frames on the register link, the device
// converting on its own clock, and load profiles.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>
#include <set>

#include "devices/sim/sim_load.h"
#include "devices/sim/zm5520_model.h"
#include "registers/config_fields.h"
#include "support/sim_fixture.h"
#include "zm5520evm/bench.h"

namespace evm::sim {
namespace {

// A device on a time of the test's choosing.
struct Device {
  Device() {
    m.AttachClock([this] { return nowUs; });
    m.load.noise = false;
  }
  uint16_t Read(uint8_t pointer) {
    const auto bytes = m.Read(0x40, pointer, 2);
    EXPECT_TRUE(bytes.has_value());
    return bytes ? static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]) : 0;
  }
  void Configure(uint16_t config) {
    ASSERT_TRUE(
        m.Write(0x40, 0, {static_cast<uint8_t>(config >> 8), static_cast<uint8_t>(config)}));
  }
  bool Ready() { return (Read(2) & 0x2) != 0; }
  // Without the conversion-ready bit, which the power read clears.
  std::array<uint16_t, 4> Results() {
    return {Read(1), static_cast<uint16_t>(Read(2) & ~0x2), Read(4), Read(3)};
  }

  int64_t nowUs = 0;
  Zm5520Model m;
};

uint16_t Config(int busAdc, int shuntAdc, int mode) {
  return static_cast<uint16_t>(
      WithField(WithField(WithField(0x2000, kConfigBusAdc, busAdc), kConfigShuntAdc, shuntAdc),
                kConfigMode, mode));
}

TEST(Zm5520Timing, AConversionSetTakesTheTimesTheAdcFieldsSelect) {
  const struct {
    int busAdc, shuntAdc, mode;
    int64_t setUs;
  } cases[] = {
      {0, 0, 7, 84 + 84},         // 9 bits each
      {1, 2, 7, 276 + 148},       // shunt 11, bus 10 bits
      {7, 4, 7, 84 + 532},        // bit 2 does not count below 12 bits
      {8, 3, 7, 532 + 532},       // 12 bits either way
      {9, 15, 7, 68100 + 1060},   // 128 and 2 averages
      {15, 12, 5, 8510},          // the shunt alone
      {10, 15, 6, 2130},          // the bus alone
      {13, 11, 3, 4260 + 17020},  // a triggered set
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.busAdc << "/" << k.shuntAdc << " mode " << k.mode);
    Device d;
    d.nowUs = 5000;
    d.Configure(Config(k.busAdc, k.shuntAdc, k.mode));
    d.nowUs += k.setUs - 1;
    EXPECT_FALSE(d.Ready()) << "a microsecond early";
    d.nowUs += 1;
    EXPECT_TRUE(d.Ready());
  }
}

TEST(Zm5520Timing, ResultsChangeOnlyWhenAConversionCompletes) {
  Device d;
  std::string why;
  // Bus from 12 V to 9 V at 10 ms, current noisy, at 9 bits (168 us a set).
  d.m.profile = *LoadProfile::Parse("step:at=0.01,volts=9;noise:amps=0.5", &why);
  d.Configure(Config(0, 0, 7));
  ASSERT_TRUE(d.m.Write(0x40, 5, {0x10, 0x00}));  // current and power follow each set
  const struct {
    int64_t atUs;
    bool changed;  // since the read before
    double busVolts;
  } steps[] = {
      // Set k converts the shunt by 168 k + 84 us, the bus by 168 (k + 1).
      {168, true, 12},               // the first set
      {200, false, 12},              // between two conversions
      {251, false, 12},              // a microsecond before the next shunt
      {252, true, 12},               // the shunt of the second set
      {336, true, 12},               // its bus, current and power
      {9'996, true, 12},             // the shunt of set 59
      {10'005, false, 12},           // the load changed, the registers not yet
      {10'080, true, 9},             // the bus of set 59, after the step
      {10'081, false, 9},            // read again
      {3'600'000'000'000, true, 9},  // after 1000 hours, at once
  };
  std::array<uint16_t, 4> before = d.Results();
  for (const auto& s : steps) {
    SCOPED_TRACE(s.atUs);
    d.nowUs = s.atUs;
    const std::array<uint16_t, 4> now = d.Results();
    EXPECT_EQ(now != before, s.changed);
    EXPECT_NEAR((now[1] >> 3) * 0.004, s.busVolts, 0.001);
    before = now;
  }
}

TEST(Zm5520Timing, ConversionReadyFollowsSetsPowerReadsAndConfigWrites) {
  enum Action { Wait, ReadPower, ReadCurrent, WriteConfig, WriteCalibration };
  const struct {
    Action action;
    int64_t waitUs;
    bool ready;
  } steps[] = {
      {Wait, 0, false},    {Wait, 1064, true}, {ReadCurrent, 0, true},      {ReadPower, 0, false},
      {Wait, 500, false},  {Wait, 564, true},  {WriteCalibration, 0, true}, {WriteConfig, 0, false},
      {Wait, 1063, false}, {Wait, 1, true},
  };
  Device d;
  d.Configure(Zm5520Model::kConfigDefault);  // 12 bits each, continuous
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const auto& s = steps[i];
    d.nowUs += s.waitUs;
    if (s.action == ReadPower) d.Read(3);
    if (s.action == ReadCurrent) d.Read(4);
    if (s.action == WriteConfig) d.Configure(Zm5520Model::kConfigDefault);
    if (s.action == WriteCalibration) {
      ASSERT_TRUE(d.m.Write(0x40, 5, {0x10, 0x00}));
    }
    EXPECT_EQ(d.Ready(), s.ready);
  }
}

TEST(Zm5520Timing, TriggeredModesConvertOneSetAndPowerDownNone) {
  const struct {
    int mode;
    bool convertsAgain;  // after the first set and a power read
    bool converts;
  } cases[] = {
      {3, false, true}, {1, false, true}, {7, true, true}, {0, false, false}, {4, false, false}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.mode);
    Device d;
    d.Configure(Config(0, 0, k.mode));
    d.nowUs += 1000;
    EXPECT_EQ(d.Ready(), k.converts);
    d.Read(3);
    d.nowUs += 100'000;
    EXPECT_EQ(d.Ready(), k.convertsAgain);
    d.Configure(Config(0, 0, k.mode));
    d.nowUs += 1000;
    EXPECT_EQ(d.Ready(), k.converts) << "each write of register 00h starts a set";
  }
}

TEST(Zm5520Timing, ThePowerUpStartsTheConversions) {
  const struct {
    std::optional<int64_t> poweredUpAtUs;  // as the platform saw it
    int64_t readyAtUs;
  } cases[] = {{1000, 1000 + 1064}, {1500, 1500 + 1064}, {std::nullopt, 1800 + 1064}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.poweredUpAtUs.value_or(-1));
    Device d;
    DutSupply supply;
    d.m.supply = &supply;
    supply.Switch(false);
    supply.Switch(true);
    supply.poweredUpAtUs = k.poweredUpAtUs;
    d.nowUs = 1800;  // the first access after the power-up
    d.Read(0);
    d.nowUs = k.readyAtUs - 1;
    EXPECT_FALSE(d.Ready());
    d.nowUs = k.readyAtUs;
    EXPECT_TRUE(d.Ready());
  }
}

// The register link on the simulated EVM, frames and all.
TEST(SimFrames, ARegisterReadCostsTwoFrames) {
  const struct {
    double frameMs;
    int64_t readUs;
  } cases[] = {{1.0, 2000}, {0.125, 250}, {0.0, 0}, {8.0, 16000}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.frameMs);
    test::SimContext c(NumberLocale::Point(), {.simulate = true, .simFrameMs = k.frameMs});
    std::array<uint8_t, 2> data{};
    ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));  // opens the link
    for (int i = 0; i < 3; ++i) {
      const int64_t start = c.clock.ElapsedUs();
      ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));
      EXPECT_EQ(c.clock.ElapsedUs() - start, k.readUs);
    }
    // Off the frame grid, the write waits for the next frame.
    if (k.frameMs > 0) {
      c.clock.AdvanceUs(static_cast<int64_t>(k.frameMs * 1000) / 4);
      const int64_t start = c.clock.ElapsedUs();
      ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));
      EXPECT_EQ(c.clock.ElapsedUs() - start, k.readUs - k.readUs / 8);
    }
  }
}

TEST(SimFrames, TheBoardsTimeGoesOnAcrossMidnightAndAClockSetBack) {
  FakeClock clock({2026, 3, 28, 23, 59, 59});
  SimulatedEvm sim(clock);
  const struct {
    int64_t advanceUs;
    std::optional<DateTime> setTo;
    int64_t nowUs;
  } steps[] = {
      {999'999, std::nullopt, 999'999},
      {2, std::nullopt, 1'000'001},  // past midnight
      {0, DateTime{2026, 3, 29, 3, 0, 0}, 1'000'000 + 3 * 3600 * int64_t{1'000'000}},
      {0, DateTime{2026, 3, 29, 2, 0, 30}, 1'000'000 + 3 * 3600 * int64_t{1'000'000}},  // set back
      {500, std::nullopt, 1'000'500 + 3 * 3600 * int64_t{1'000'000}},
  };
  for (const auto& s : steps) {
    clock.AdvanceUs(s.advanceUs);
    if (s.setTo) clock.Set(*s.setTo);
    EXPECT_EQ(sim.NowUs(), s.nowUs);
  }
}

TEST(SimFrames, AMinuteOfReadsRunsInMillisecondsOnTheFakeClock) {
  test::SimContext c;
  sim::Zm5520Model& device = c.sim->RegLink()->Device();
  std::array<uint8_t, 2> data{};
  // 128 averages each way: a set each 136.2 ms. Polling the bus register and
  // reading power once it is ready sees each set once.
  const uint16_t config = Config(15, 15, 7);
  ASSERT_TRUE(c.evm.regLink().I2CWrite(
      0x40, 0, 2, std::array<uint8_t, 2>{uint8_t(config >> 8), uint8_t(config)}, 0));
  const auto wallStart = std::chrono::steady_clock::now();
  const int64_t start = c.clock.ElapsedUs();
  int reads = 0, ready = 0;
  while (c.clock.ElapsedUs() - start < 60'000'000) {
    ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));
    ++reads;
    if (data[1] & 0x2) {
      ++ready;
      ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 3, 2, data, 0));
      ++reads;
    }
  }
  const auto wall = std::chrono::steady_clock::now() - wallStart;
  EXPECT_EQ(reads, 30'000);
  EXPECT_NEAR(ready, 60e6 / 136'200, 1) << "each set once";
  EXPECT_LT(wall, std::chrono::seconds(2));
  EXPECT_EQ(device.Register(0), config);
}

TEST(SimLoadProfile, TextsAreParsedOrRefusedNamingTheBadTerm) {
  const struct {
    const char* text;
    const char* badTerm;  // nullptr: accepted
  } cases[] = {
      {"", nullptr},
      {"constant:amps=2,volts=5", nullptr},
      {"step:at=1.5,amps=3; pulse:at=2,width=0.25,volts=10;ramp:at=0,over=1,amps=1", nullptr},
      {"noise:amps=0.01,volts=0.002", nullptr},
      {"step:at=1", "step:at=1"},                                  // sets nothing
      {"pulse:at=1,amps=2", "pulse:at=1,amps=2"},                  // no width
      {"pulse:at=1,width=0,amps=2", "pulse:at=1,width=0,amps=2"},  // nothing long
      {"ramp:at=-1,over=1,amps=1", "ramp:at=-1,over=1,amps=1"},
      {"constant:amps=1;wave:amps=2", "wave:amps=2"},
      {"step:at=1,amps=x", "step:at=1,amps=x"},
      {"step:at=1,amps=1,amps=2", "step:at=1,amps=1,amps=2"},
      {"constant:amps=1,width=2", "constant:amps=1,width=2"},
      {"noise:amps=-1", "noise:amps=-1"},
      {"constant:amps=1;", "''"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.text);
    std::string error;
    const bool parsed = LoadProfile::Parse(k.text, &error).has_value();
    EXPECT_EQ(parsed, k.badTerm == nullptr) << error;
    if (k.badTerm) {
      EXPECT_NE(error.find(k.badTerm), std::string::npos) << error;
    }
  }
}

TEST(SimLoadProfile, LaterTermsActOnEarlierOnesAtTheirTimes) {
  std::string error;
  const auto profile = LoadProfile::Parse(
      "constant:amps=0.5;ramp:at=1,over=2,amps=2;pulse:at=4,width=0.5,amps=3,volts=11", &error);
  ASSERT_TRUE(profile) << error;
  const struct {
    double seconds, amps, volts;
  } cases[] = {
      {0.5, 0, 12}, {1.0, 0, 12},      {2.0, 1, 12}, {3.0, 2, 12}, {3.999999, 2, 12},
      {4.0, 3, 11}, {4.499999, 3, 11}, {4.5, 2, 12}, {100, 2, 12},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.seconds);
    const LoadValue v = profile->At(k.seconds, {});
    EXPECT_DOUBLE_EQ(v.amps, k.amps);
    EXPECT_DOUBLE_EQ(v.volts, k.volts);
  }
  const auto noisy = LoadProfile::Parse("step:at=1,amps=4;noise:amps=0.1", &error);
  ASSERT_TRUE(noisy) << error;
  std::set<double> seen;
  for (int i = 0; i < 100; ++i) {
    const double a = noisy->At(1 + i * 1e-3, {}).amps;
    EXPECT_NEAR(a, 4, 0.1);
    EXPECT_EQ(a, noisy->At(1 + i * 1e-3, {}).amps) << "the same instant, the same noise";
    seen.insert(a);
  }
  EXPECT_GT(seen.size(), 90u);
}

TEST(SimLoadProfile, TheBenchAppliesItAndRefusesABadOne) {
  BenchOptions options{.simulate = true};
  options.simulation.load = "step:at=0,amps=2;pulse:at=0,width=1000,volts=7";
  const auto bench = Bench::Open(options);
  const Measurement m = bench->MeasureOnce();
  EXPECT_NEAR(m.busVolts, 7, 0.01);
  EXPECT_NEAR(m.shuntVolts, 0.02, 0.0001);
  options.simulation.load = "step:at=0";
  EXPECT_THROW(Bench::Open(options), ParseError);
  options.simulation.load = "";
  options.simulation.frameMs = -1;
  EXPECT_THROW(Bench::Open(options), ParseError);
}

}  // namespace
}  // namespace evm::sim
