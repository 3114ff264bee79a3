// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated EVM in time: USB frames on the register link, the device
// converting on its own clock, and load profiles.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <optional>

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
  void Write(uint8_t pointer, uint16_t value) {
    ASSERT_TRUE(m.Write(0x40, pointer, {uint8_t(value >> 8), uint8_t(value)}));
  }
  bool Ready() { return (Read(2) & 0x2) != 0; }
  // Without the conversion-ready bit, which the power read clears.
  std::array<uint16_t, 4> Results() {
    return {Read(1), uint16_t(Read(2) & ~0x2), Read(4), Read(3)};
  }

  int64_t nowUs = 0;
  Zm5520Model m;
};

uint16_t Config(int busAdc, int shuntAdc, int mode) {
  return static_cast<uint16_t>(
      WithField(WithField(WithField(0x2000, kConfigBusAdc, busAdc), kConfigShuntAdc, shuntAdc),
                kConfigMode, mode));
}

TEST(Zm5520Timing, ASetTakesTheTimesTheAdcFieldsSelectAndATriggerConvertsOnce) {
  const struct {
    int busAdc, shuntAdc, mode;
    int64_t setUs;  // 0: never converts
  } cases[] = {
      {0, 0, 7, 84 + 84},
      {1, 2, 7, 276 + 148},
      {7, 4, 7, 84 + 532},  // bit 2 ignored
      {8, 3, 7, 532 + 532},
      {9, 15, 7, 68100 + 1060},  // 2, 128 averages
      {15, 12, 5, 8510},
      {10, 15, 6, 2130},  // one of the two
      {13, 11, 3, 4260 + 17020},
      {0, 0, 1, 84},
      {0, 0, 0, 0},
      {0, 0, 4, 0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(::testing::Message() << k.busAdc << "/" << k.shuntAdc << " mode " << k.mode);
    Device d;
    d.nowUs = 5000;
    d.Write(0, Config(k.busAdc, k.shuntAdc, k.mode));
    d.nowUs += k.setUs - 1;
    EXPECT_FALSE(d.Ready()) << "a microsecond early";
    d.nowUs += 1;
    EXPECT_EQ(d.Ready(), k.setUs > 0);
    d.Read(3);
    d.nowUs += int64_t{10} * 70'000;
    EXPECT_EQ(d.Ready(), k.mode > 4) << "only the continuous modes convert again";
  }
}

TEST(Zm5520Timing, ResultsChangeOnlyWhenAConversionCompletes) {
  Device d;
  std::string why;
  // Bus from 12 V to 9 V at 10 ms, current noisy, at 9 bits (168 us a set).
  d.m.profile = *LoadProfile::Parse("step:at=0.01,volts=9;noise:amps=0.5", &why);
  d.Write(0, Config(0, 0, 7));
  d.Write(5, 0x1000);  // current and power follow each set
  // Set k converts the shunt by 168 k + 84 us, the bus by 168 (k + 1).
  const struct {
    int64_t atUs;
    bool changed;  // since the read before
    double busVolts;
  } steps[] = {
      {168, true, 12},     {200, false, 12},   {251, false, 12},
      {252, true, 12},                         // a shunt
      {336, true, 12},     {9'996, true, 12},  // a set
      {10'005, false, 12},                     // the load changed, the registers not yet
      {10'080, true, 9},   {10'081, false, 9}, {3'600'000'000'000, true, 9},  // 1000 h at once
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

TEST(Zm5520Timing, ConversionReadyFollowsSetsPowerReadsConfigWritesAndPowerUps) {
  enum Action { Wait, ReadPower, ReadCurrent, WriteConfig, WriteCalibration, PowerUp };
  const struct {
    Action action;
    int64_t us;  // waited, or since the power-up the platform saw
    bool ready;
  } steps[] = {
      {Wait, 0, false},    {Wait, 1064, true}, {ReadCurrent, 0, true},      {ReadPower, 0, false},
      {Wait, 500, false},  {Wait, 564, true},  {WriteCalibration, 0, true}, {WriteConfig, 0, false},
      {Wait, 1063, false}, {Wait, 1, true},    {PowerUp, 1063, false},      {Wait, 1, true},
  };
  Device d;
  DutSupply supply;
  d.m.supply = &supply;
  d.Write(0, Zm5520Model::kConfigDefault);  // 12 bits each, continuous
  for (size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    const auto& s = steps[i];
    if (s.action == Wait) d.nowUs += s.us;
    if (s.action == ReadPower) d.Read(3);
    if (s.action == ReadCurrent) d.Read(4);
    if (s.action == WriteConfig) d.Write(0, Zm5520Model::kConfigDefault);
    if (s.action == WriteCalibration) d.Write(5, 0x1000);
    if (s.action == PowerUp) {  // first seen 800 us after the power-up
      supply.Switch(false);
      supply.Switch(true);
      supply.poweredUpAtUs = d.nowUs;
      d.nowUs += 800;
      d.Read(0);
      d.nowUs += s.us - 800;
    }
    EXPECT_EQ(d.Ready(), s.ready);
  }
}

// The register link on the simulated EVM, frames and all.
TEST(SimFrames, ARegisterReadCostsTwoFramesOnTheFrameGrid) {
  const struct {
    double frameMs;
    int64_t readUs;
  } cases[] = {{1.0, 2000}, {0.125, 250}, {0.0, 0}, {8.0, 16000}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.frameMs);
    test::SimContext c(NumberLocale::Point(), {.simulate = true, .simFrameMs = k.frameMs});
    std::array<uint8_t, 2> data{};
    ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));  // opens the link
    for (const int64_t offGrid : {0, 0, 1000}) {
      // Off the grid, the request waits for the next frame.
      const int64_t late = offGrid * k.readUs / 8000;
      c.clock.AdvanceUs(late);
      const int64_t start = c.clock.ElapsedUs();
      ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));
      EXPECT_EQ(c.clock.ElapsedUs() - start, k.readUs - late);
    }
  }
}

TEST(SimFrames, TheBoardsTimeGoesOnAcrossMidnightAndAClockSetBack) {
  FakeClock clock({2026, 3, 28, 23, 59, 59});
  SimulatedEvm sim(clock);
  constexpr int64_t k3h = int64_t{3} * 3600 * 1'000'000;
  const struct {
    int64_t advanceUs;
    std::optional<DateTime> setTo;
    int64_t nowUs;
  } steps[] = {{999'999, std::nullopt, 999'999},
               {2, std::nullopt, 1'000'001},  // past midnight
               {0, DateTime{2026, 3, 29, 3, 0, 0}, 1'000'000 + k3h},
               {0, DateTime{2026, 3, 29, 2, 0, 30}, 1'000'000 + k3h},  // set back
               {500, std::nullopt, 1'000'500 + k3h}};
  for (const auto& s : steps) {
    clock.AdvanceUs(s.advanceUs);
    if (s.setTo) clock.Set(*s.setTo);
    EXPECT_EQ(sim.NowUs(), s.nowUs);
  }
}

TEST(SimFrames, AMinuteOfPollingRunsInMillisecondsAndSeesEachSetOnce) {
  test::SimContext c;
  std::array<uint8_t, 2> data{};
  const uint16_t config = Config(15, 15, 7);  // 128 averages each: 136.2 ms a set
  ASSERT_TRUE(
      c.evm.regLink().I2CWrite(0x40, 0, 2, std::array{uint8_t(config >> 8), uint8_t(config)}, 0));
  const auto wallStart = std::chrono::steady_clock::now();
  const int64_t start = c.clock.ElapsedUs();
  int reads = 0, ready = 0;
  while (c.clock.ElapsedUs() - start < 60'000'000) {
    ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 2, 2, data, 0));
    ++reads;
    if (data[1] & 0x2) {  // then power, which clears the bit
      ++ready;
      ASSERT_TRUE(c.evm.regLink().I2CRead(0x40, 3, 2, data, 0));
      ++reads;
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - wallStart, std::chrono::seconds(2));
  EXPECT_EQ(reads, 30'000);
  EXPECT_NEAR(ready, 60e6 / 136'200, 1);
}

TEST(SimLoadProfile, TextsAreParsedOrRefusedNamingTheBadTerm) {
  const struct {
    const char* text;
    const char* badTerm;  // nullptr: accepted
  } cases[] = {
      {"", nullptr},
      {"step:at=1.5,amps=3; pulse:at=2,width=0.25,volts=10;ramp:at=0,over=1,amps=1", nullptr},
      {"constant:amps=2,volts=5;noise:amps=0.01,volts=0.002", nullptr},
      {"step:at=1", "step:at=1"},                                  // sets nothing
      {"pulse:at=1,width=0,amps=2", "pulse:at=1,width=0,amps=2"},  // no width
      {"ramp:at=-1,over=1,amps=1", "ramp:at=-1,over=1,amps=1"},
      {"constant:amps=1;wave:amps=2", "wave:amps=2"},
      {"step:at=1,amps=x", "step:at=1,amps=x"},
      {"step:at=1,amps=1,amps=2", "amps is given twice"},
      {"constant:amps=1,width=2", "constant:amps=1,width=2"},
      {"constant:amps=1;", "''"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.text);
    std::string error;
    EXPECT_EQ(LoadProfile::Parse(k.text, &error).has_value(), k.badTerm == nullptr) << error;
    EXPECT_NE(error.find(k.badTerm ? k.badTerm : ""), std::string::npos) << error;
  }
}

TEST(SimLoadProfile, LaterTermsActOnEarlierOnesAtTheirTimes) {
  std::string error;
  const auto profile = LoadProfile::Parse(
      "constant:amps=0.5;ramp:at=1,over=2,amps=2;pulse:at=4,width=0.5,amps=3,volts=11;"
      "noise:volts=0.1",
      &error);
  ASSERT_TRUE(profile) << error;
  const struct {
    double seconds, amps, volts;
  } cases[] = {{0.5, 0, 12}, {1.0, 0, 12},      {2.0, 1, 12}, {3.0, 2, 12}, {3.999999, 2, 12},
               {4.0, 3, 11}, {4.499999, 3, 11}, {4.5, 2, 12}, {100, 2, 12}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.seconds);
    const LoadValue v = profile->At(k.seconds, {});
    EXPECT_DOUBLE_EQ(v.amps, k.amps);
    EXPECT_NEAR(v.volts, k.volts, 0.1);
    EXPECT_NE(v.volts, k.volts) << "noisy";
    EXPECT_EQ(v.volts, profile->At(k.seconds, {}).volts) << "the same instant, the same noise";
  }
}

TEST(SimLoadProfile, TheBenchAppliesItAndRefusesABadOne) {
  BenchOptions options{.simulate = true};
  options.simulation.load = "step:at=0,amps=2;pulse:at=0,width=1000,volts=7";
  const Measurement m = Bench::Open(options)->MeasureOnce();
  EXPECT_NEAR(m.busVolts, 7, 0.01);
  EXPECT_NEAR(m.shuntVolts, 0.02, 0.0001);
  for (const auto& [load, frameMs] : {std::pair{"step:at=0", 1.0}, std::pair{"", -1.0}}) {
    options.simulation.load = load;
    options.simulation.frameMs = frameMs;
    EXPECT_THROW(Bench::Open(options), ParseError) << load;
  }
}

}  // namespace
}  // namespace evm::sim
