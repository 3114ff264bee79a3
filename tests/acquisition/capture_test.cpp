// SPDX-License-Identifier: GPL-3.0-or-later
// Triggered captures cut out of the fast samples of the simulated EVM, whose
// load profiles give pulses at known times on the fake clock.
#include "acquisition/capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "acquisition/acquisition.h"
#include "acquisition/fast_log.h"
#include "devices/sim/sim_load.h"
#include "support/sim_fixture.h"

namespace evm {
namespace {

constexpr uint16_t kNineBits = 0x3807;  // 9-bit shunt and bus, continuous
constexpr double kPeriod = 0.008;       // four registers on 1 ms frames
// The current register counts the shunt's 10 uV steps one to one.
constexpr Scaling kScaling{1e-3, 20e-3};

TEST(Trigger, TextsReadAsTheirConditionAndBadOnesAreRefusedByName) {
  const struct {
    const char* text;
    TriggerSource source;
    TriggerEdge edge;
    double level;
    const char* error;  // a part of the refusal; nullptr: accepted
  } cases[] = {
      {"amps>0.5", TriggerSource::Amps, TriggerEdge::Rising, 0.5, nullptr},
      {" bus_volts < 11 ", TriggerSource::BusVolts, TriggerEdge::Falling, 11, nullptr},
      {"watts~2e-1", TriggerSource::Watts, TriggerEdge::Either, 0.2, nullptr},
      {"shunt_volts>-0.001", TriggerSource::ShuntVolts, TriggerEdge::Rising, -0.001, nullptr},
      {"amps=0.5", {}, {}, 0, "is not SOURCE>LEVEL"},
      {"volts>1", {}, {}, 0, "watches 'volts', which is not one of amps"},
      {"amps>", {}, {}, 0, "the level '', which is not a number"},
      {"amps>0,5", {}, {}, 0, "the level '0,5'"},
      {"amps>inf", {}, {}, 0, "the level 'inf'"},
      {"amps<>1", {}, {}, 0, "the level '>1'"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.text);
    std::string error;
    const auto c = ParseTrigger(k.text, &error);
    if (k.error) {
      EXPECT_FALSE(c);
      EXPECT_NE(error.find(k.error), std::string::npos) << error;
      EXPECT_EQ(error.find("the trigger '" + std::string(k.text) + "'"), 0u) << error;
      continue;
    }
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->source, k.source);
    EXPECT_EQ(c->edge, k.edge);
    EXPECT_DOUBLE_EQ(c->level, k.level);
  }
}

TEST(Trigger, FiresOnlyWhereTheLevelIsCrossedInItsDirection) {
  const double nan = std::nan("");
  const struct {
    TriggerEdge edge;
    std::vector<double> values;
    std::vector<size_t> fires;
  } cases[] = {
      // Already above at the start is no crossing; equal to the level is not past it.
      {TriggerEdge::Rising, {2, 2, 0, 1, 1, 2, 0}, {5}},
      {TriggerEdge::Rising, {0, 1, 2, 0, 3}, {2, 4}},
      {TriggerEdge::Falling, {0, 2, 2, 1, 0, 2, 0}, {4, 6}},
      {TriggerEdge::Either, {0, 2, 0, 1, 1}, {1, 2}},
      // A value not read is skipped: the crossing is between the values around it.
      {TriggerEdge::Rising, {0, nan, 2, nan, 0}, {2}},
  };
  for (const auto& k : cases) {
    EdgeDetector edge({TriggerSource::Amps, k.edge, 1});
    std::vector<size_t> fires;
    for (size_t i = 0; i < k.values.size(); ++i) {
      if (edge.Crossed(k.values[i])) fires.push_back(i);
    }
    EXPECT_EQ(fires, k.fires) << TriggerEdgeName(k.edge);
  }
}

// The simulated EVM's samples, fast, on the fake clock, with the load given.
struct Bench {
  explicit Bench(const char* profile) {
    sim::Zm5520Model& device = ctx.sim->RegLink()->Device();
    device.load.noise = false;
    std::string error;
    device.profile = *sim::LoadProfile::Parse(profile, &error);
    boardsStarted = ctx.clock.SecondsSinceMidnight();
    Write(0, kNineBits);
    Write(5, 4096);
  }
  void Write(int reg, uint16_t value) {
    ASSERT_TRUE(ctx.evm.regLink().WriteRegWord(0x40, reg, static_cast<uint8_t>(value >> 8),
                                               static_cast<uint8_t>(value & 0xFF)));
  }
  // Seconds since the boards started, as the profile counts them.
  double SinceStart(double time) const { return std::fmod(time, 86400) - boardsStarted; }
  std::vector<Capture> Run(const CaptureSettings& settings, double seconds,
                           size_t maxSamples = kMaxCaptureSamples) {
    TriggeredCapture capture(settings, maxSamples);
    Acquirer acquirer(ctx.evm.regLink(), ctx.clock,
                      {.mode = AcquisitionMode::Fast, .seconds = seconds});
    std::vector<Capture> out;
    while (auto s = acquirer.Next([] { return false; })) {
      if (auto c = capture.Add(*s, ScaleSample(*s, kScaling))) out.push_back(std::move(*c));
      if (capture.Done()) break;
    }
    cut = capture.Cut();
    return out;
  }

  test::SimContext ctx;
  double boardsStarted = 0;
  std::optional<Capture> cut;  // the capture the end of the run cut short
};

TEST(Capture, APulseIsCaughtWithItsPreAndPostTriggerTime) {
  const struct {
    const char* profile;
    const char* trigger;
    double pre, post;
    double edgeAt;  // where the profile crosses the level, since the boards started
  } cases[] = {
      {"pulse:at=1,width=0.1,amps=2", "amps>1.5", 0.05, 0.2, 1.0},
      {"pulse:at=1,width=0.1,amps=2", "amps<1.5", 0.3, 0.05, 1.1},
      {"pulse:at=2,width=0.5,volts=10", "bus_volts<11", 1.0, 0.0, 2.0},
      {"pulse:at=2,width=0.5,amps=3", "watts~20", 0.0, 0.1, 2.0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.trigger);
    Bench bench(k.profile);
    const auto trigger = ParseTrigger(k.trigger, nullptr);
    ASSERT_TRUE(trigger);
    const std::vector<Capture> c =
        bench.Run({.trigger = *trigger, .preSeconds = k.pre, .postSeconds = k.post}, 4);
    ASSERT_EQ(c.size(), 1u);
    const Capture& x = c[0];
    ASSERT_EQ(x.samples.size(), x.quantities.size());
    EXPECT_FALSE(x.truncated);
    EXPECT_EQ(x.number, 1);
    // The trigger is the first sample past the level, read after the edge
    // (the bus register is read 6 ms before the sample's time).
    const double at = bench.SinceStart(x.triggerTime);
    EXPECT_GE(at, k.edgeAt);
    EXPECT_LE(at, k.edgeAt + 2 * kPeriod);
    ASSERT_LT(x.triggerIndex, x.samples.size());
    EXPECT_EQ(x.samples[x.triggerIndex].time, x.triggerTime);
    // Pre- and post-trigger time, each to within a sample.
    const double pre = x.triggerTime - x.samples.front().time;
    const double post = x.samples.back().time - x.triggerTime;
    EXPECT_GE(pre, k.pre - 1e-9);
    EXPECT_LT(pre, k.pre + kPeriod + 0.002);
    EXPECT_GE(post, k.post - 1e-9);
    EXPECT_LT(post, k.post + kPeriod + 0.002);
  }
}

TEST(Capture, ReArmedCapturesAndLevelsNeverCrossed) {
  const char* train =
      "pulse:at=1,width=0.1,amps=2;pulse:at=2,width=0.1,amps=2;"
      "pulse:at=3,width=0.1,amps=2";
  const struct {
    const char* profile;
    const char* trigger;
    long count;
    double pre, post;
    std::vector<double> at;  // each capture's trigger, since the boards started
  } cases[] = {
      {train, "amps>1.5", 0, 0.1, 0.2, {1, 2, 3}},
      {train, "amps>1.5", 2, 0.1, 0.2, {1, 2}},
      // A post-trigger time past the next pulse takes that pulse into the capture.
      {train, "amps>1.5", 0, 0.1, 1.2, {1, 3}},
      // Both edges of each pulse when the capture ends within the pulse.
      {"pulse:at=1,width=0.1,amps=2", "amps~1.5", 0, 0, 0.05, {1, 1.1}},
      // Armed only once the pre-trigger time is filled: the first pulse is too early.
      {train, "amps>1.5", 0, 1.5, 0.2, {2, 3}},
      {train, "amps>2.5", 0, 0.1, 0.2, {}},
      {"step:at=0,amps=2", "amps>1.5", 0, 0, 0.2, {}},
      {train, "bus_volts<11", 0, 0.1, 0.2, {}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(std::string(k.trigger) + " count " + std::to_string(k.count) + " pre " +
                 std::to_string(k.pre) + " post " + std::to_string(k.post));
    Bench bench(k.profile);
    const auto c = bench.Run({.trigger = *ParseTrigger(k.trigger, nullptr),
                              .preSeconds = k.pre,
                              .postSeconds = k.post,
                              .count = k.count},
                             5);
    ASSERT_EQ(c.size(), k.at.size());
    for (size_t i = 0; i < c.size(); ++i) {
      EXPECT_EQ(c[i].number, static_cast<long>(i + 1));
      EXPECT_NEAR(bench.SinceStart(c[i].triggerTime), k.at[i] + kPeriod / 2, kPeriod / 2 + 0.002);
    }
  }
}

// A capture ends early, marked truncated, at its bound of samples (however
// long its times) and at the end of the run; half the bound is for the
// pre-trigger samples.
TEST(Capture, ACaptureCutShortIsMarkedTruncated) {
  const struct {
    double pre, post, seconds;
    size_t bound;
    size_t completed;  // captures Add gave
    bool cut;          // a capture in progress when the run ended
    size_t samples, triggerIndex;
  } cases[] = {
      {0.5, 2, 4, 40, 1, false, 40, 20},
      // The run starts 0.21 s after the boards, and ends here at 1.16 s.
      {0.05, 0.2, 0.95, kMaxCaptureSamples, 0, true, 0, 7},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.seconds);
    Bench bench("pulse:at=1,width=0.1,amps=2");
    const auto c = bench.Run(
        {.trigger = *ParseTrigger("amps>1.5", nullptr), .preSeconds = k.pre, .postSeconds = k.post},
        k.seconds, k.bound);
    ASSERT_EQ(c.size(), k.completed);
    ASSERT_EQ(bench.cut.has_value(), k.cut);
    const Capture& x = k.cut ? *bench.cut : c[0];
    EXPECT_EQ(x.truncated, k.bound < kMaxCaptureSamples || k.cut);
    if (k.samples) {
      EXPECT_EQ(x.samples.size(), k.samples);
    }
    EXPECT_EQ(x.triggerIndex, k.triggerIndex);
    if (k.cut) {
      EXPECT_LT(x.samples.back().time - x.triggerTime, k.post);
    }
  }
}

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(Capture, EachCaptureIsAFileOfItsOwnInTheFastLogLayout) {
  Bench bench("pulse:at=1,width=0.1,amps=2;pulse:at=2,width=0.1,amps=2");
  const TriggerCondition trigger = *ParseTrigger("amps>1.5", nullptr);
  const auto c =
      bench.Run({.trigger = trigger, .preSeconds = 0.05, .postSeconds = 0.2, .count = 2}, 4);
  ASSERT_EQ(c.size(), 2u);
  const std::filesystem::path folder = bench.ctx.dir.path() / "new" / "captures";
  std::vector<std::filesystem::path> files;
  // The second save of the first capture finds its name taken and keeps both.
  for (const Capture* x : {&c[0], &c[1], &c[0]}) {
    std::error_code ec;
    const auto file = SaveCapture(folder, *x, trigger, ec);
    ASSERT_TRUE(file) << ec.message();
    files.push_back(*file);
  }
  EXPECT_EQ(files[0].filename(), CaptureFileName(c[0]));
  EXPECT_NE(files[0], files[1]);
  EXPECT_EQ(files[2].filename().string(),
            CaptureFileName(c[0]).substr(0, CaptureFileName(c[0]).size() - 4) + "-2.csv");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 3);

  const std::vector<std::string> lines = Lines(files[1]);
  ASSERT_EQ(lines.size(), c[1].samples.size() + 3);
  EXPECT_EQ(lines[0], "# started " + MicrosecondStampText(c[1].samples[0].time));
  const double at = c[1].triggerTime - c[1].samples[0].time;
  std::ostringstream want;
  want << "# trigger " << MicrosecondStampText(c[1].triggerTime) << " amps>1.5 at time_s ";
  EXPECT_EQ(lines[1].rfind(want.str(), 0), 0u) << lines[1];
  EXPECT_NEAR(std::stod(lines[1].substr(want.str().size())), at, 1e-6);
  EXPECT_EQ(lines[2].rfind("time_s,bus_volts,shunt_volts,amps,watts,", 0), 0u);
  EXPECT_EQ(lines[3].rfind("0.000000,", 0), 0u);
  EXPECT_NEAR(std::stod(lines[3 + c[1].triggerIndex]), at, 1e-6);

  // A folder that cannot be one is a failure with its reason, and no file.
  std::error_code ec;
  EXPECT_FALSE(SaveCapture(files[0], c[0], trigger, ec));
  EXPECT_TRUE(ec);
}

}  // namespace
}  // namespace evm
