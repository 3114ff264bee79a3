// SPDX-License-Identifier: GPL-3.0-or-later
// The operations' own behaviour; each failure's type and text is checked
// through the Python package, whose errors are these (tests/python).
#include "zm5520evm/bench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "api/bench_access.h"
#include "common/clock.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

namespace fs = std::filesystem;

BenchOptions Simulated(std::optional<fs::path> folder = std::nullopt, std::string fault = "") {
  BenchOptions o;
  o.simulate = true;
  o.simulation.fault = std::move(fault);
  o.stateFolder = std::move(folder);
  return o;
}

// A calibration applied by one session scales the next session's readings,
// and what it wrote reads back.
TEST(Bench, CalibrationAppliedScalesTheNextSession) {
  test::TempDir folder;
  {
    auto bench = Bench::Open(Simulated(folder.path()));
    EXPECT_EQ(bench->ReadRegisters().currentLsbAmps, 100e-6);  // the defaults, before any
    const CalibrationResult cal =
        Bench::Calculate({.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsbAmps = 62.501e-6},
                         bench->ReadConfig());
    ASSERT_TRUE(cal.Ok());
    EXPECT_EQ(cal.calibration, 0xFFFE);
    bench->ApplyCalibration(cal);
    EXPECT_EQ(bench->ReadRegisters().registers[kCalibrationRegister].raw, 0xFFFE);
    // 1 A through 10 mOhm at 12 V.
    const Measurement m = bench->MeasureOnce();
    EXPECT_TRUE(m.acknowledged);
    EXPECT_NEAR(m.busVolts, 12, 0.05);
    EXPECT_NEAR(m.amperes, 1, 0.01);
    EXPECT_NEAR(m.watts, 12, 0.1);
  }
  // A fresh device, scaled by what the last session kept.
  const RegisterSnapshot read = Bench::Open(Simulated(folder.path()))->ReadRegisters();
  EXPECT_NEAR(read.currentLsbAmps, 62.501e-6, 1e-12);
  EXPECT_NEAR(read.powerLsbWatts, 20 * 62.501e-6, 1e-12);
}

// What only the calculator and the Bench's copy of its result give: whether
// the shunt range can overflow before the current register does, and the
// largest power. The figures are worked by hand from the register's 15 bits
// on the default range (320 mV, 32 V).
TEST(Bench, CalculateGivesTheOverflowAndTheLargestPower) {
  struct Case {
    double rshunt, maxAmps, lsb;
    bool overflowPossible;
    double beforeOverflowAmps, maxPowerWatts;
  };
  constexpr Case kCases[] = {
      // 32767 x 100 uA = 3.2767 A is 32.8 mV on 10 mOhm, under 320 mV.
      {0.01, 2, 100e-6, true, 3.2767, 3.2767 * 32},
      // 32767 x 1 mA passes 320 mV: the shunt range ends first, at 32 A.
      {0.01, 30, 1e-3, false, 32, 32.0 * 32},
  };
  const auto bench = Bench::Open(Simulated());
  const uint16_t config = bench->ReadConfig();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.lsb);
    const CalibrationResult r = Bench::Calculate(
        {.rshuntOhms = c.rshunt, .maxExpectedAmps = c.maxAmps, .currentLsbAmps = c.lsb}, config);
    ASSERT_TRUE(r.Ok()) << r.refusalMessage;
    EXPECT_EQ(r.overflowPossible, c.overflowPossible);
    EXPECT_NEAR(r.maxCurrentBeforeOverflowAmps, c.beforeOverflowAmps, 1e-3 * c.beforeOverflowAmps);
    EXPECT_NEAR(r.maxPowerWatts, c.maxPowerWatts, 1e-3 * c.maxPowerWatts);
  }
}

// A register 05h that reads back another value than written is a failure:
// here register 00h's reset bit, written after 05h already held the value,
// sets 05h back to 0.
TEST(Bench, ApplyCalibrationChecksWhatRegister05hReadsBack) {
  const auto bench = Bench::Open(Simulated());
  CalibrationResult cal = Bench::Calculate(
      {.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsbAmps = 100e-6}, bench->ReadConfig());
  ASSERT_TRUE(cal.Ok());
  bench->WriteRegister(kCalibrationRegister, cal.calibration);
  cal.config |= 0x8000;
  try {
    bench->ApplyCalibration(cal);
    ADD_FAILURE() << "no ReadBackError";
  } catch (const ReadBackError& e) {
    EXPECT_EQ(e.reg, kCalibrationRegister);
    EXPECT_EQ(e.wanted, cal.calibration);
    EXPECT_EQ(e.got, 0);
  }
}

// A write the link does not answer ends the operation: nothing is written or
// read back after it, so a silent link costs one time-out of 1 s and is
// named as a silent link, wherever in the operation it goes silent.
TEST(Bench, AWriteTheLinkDoesNotAnswerCostsOneTimeOutAndEndsTheOperation) {
  enum Op { kWrite, kLoad, kCalibrate };
  test::TempDir folder;
  const fs::path file = folder.path() / "regs.txt";
  CalibrationResult cal;
  {
    const auto clean = Bench::Open(Simulated());
    clean->SaveRegisters(file);
    cal = Bench::Calculate({.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsbAmps = 100e-6},
                           clean->ReadConfig());
  }
  // The file changes registers 00h and 05h.
  std::string text;
  {
    std::ifstream in(file);
    int n = 0;
    for (std::string line; std::getline(in, line); ++n) {
      line = line.substr(0, line.find('\r'));
      text += (n == 0 ? std::to_string(std::stoi(line) ^ 8) : n == 5 ? "40960" : line) + "\r\n";
    }
  }
  std::ofstream(file, std::ios::binary) << text;
  constexpr int kTimeOutMs = 1000 + 200;  // with the frames of the write
  for (const Op op : {kWrite, kLoad, kCalibrate}) {
    const auto run = [&](const std::string& fault, int64_t& elapsedMs) {
      FakeClock clock;
      const auto bench = BenchAccess::Open(Simulated(std::nullopt, fault), clock);
      const int64_t start = clock.ElapsedMs();
      try {
        switch (op) {
          case kWrite: bench->WriteRegister(kCalibrationRegister, 0xA000); break;
          case kLoad: bench->LoadRegisters(file); break;
          case kCalibrate: bench->ApplyCalibration(cal); break;
        }
        elapsedMs = clock.ElapsedMs() - start;
        return std::string();
      } catch (const BoardSilentError& e) {
        elapsedMs = clock.ElapsedMs() - start;
        return std::string(e.what());
      }
    };
    int64_t cleanMs = 0;
    ASSERT_EQ(run("", cleanMs), "");
    bool writeRefused = false;
    for (int after = 0; after <= 40; ++after) {
      const std::string fault = "reglink:no-reply@" + std::to_string(after);
      SCOPED_TRACE(fault + " / op " + std::to_string(op));
      int64_t ms = 0;
      const std::string failure = run(fault, ms);
      EXPECT_LE(ms, cleanMs + kTimeOutMs) << failure;
      writeRefused = writeRefused || failure.find("(writing") != std::string::npos;
    }
    EXPECT_TRUE(writeRefused) << "op " << op << ": no fault struck a write";
  }
}

// A fast log keeps what it read before the link went silent: its buffer
// reaches the file on the failure too, not only at a normal end.
TEST(Bench, AFastLogKeepsTheSamplesReadBeforeTheLinkWentSilent) {
  test::TempDir folder;
  const fs::path file = folder.path() / "fast.csv";
  FakeClock clock;
  const auto bench = BenchAccess::Open(Simulated(std::nullopt, "reglink:no-reply@400"), clock);
  EXPECT_THROW(bench->Log(file, {.seconds = 60, .mode = AcquisitionMode::Fast}), BoardSilentError);
  std::ifstream in(file);
  long lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  EXPECT_GT(lines, 2 + 50);  // '# started', the header, then the samples
}

// No state folder means no file is touched, not even in the working folder
// (evmctl's reliability test keeps a read-only log as it was).
TEST(Bench, WithoutAStateFolderNoFileIsTouched) {
  test::TempDir folder;
  const fs::path cwd = fs::current_path();
  const fs::path empty = folder.path() / "cwd";
  fs::create_directories(empty);
  fs::current_path(empty);
  {
    auto none = Bench::Open(Simulated());
    none->ApplyCalibration(Bench::Calculate(
        {.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsbAmps = 100e-6}, none->ReadConfig()));
    none->SetDac(DacChannel::A, 1.0, Reference::Factory5V);
    none->ReadConverter(Converter::Cnv1, Reference::Factory5V);
  }
  fs::current_path(cwd);
  EXPECT_TRUE(fs::is_empty(empty));
}

// A link that dies mid-run ends the run as it would at the start; only a
// device that does not acknowledge gives passes marked as such.
enum class Ended { Silent, NoBoard, Unacknowledged };
enum class RunKind { Monitor, Batch, Log };

TEST(Bench, ARunWhoseLinkStopsAnsweringMidwayFailsAsAtItsStart) {
  struct Case {
    const char* fault;
    Ended ended;
  };
  constexpr Case kCases[] = {{"reglink:no-reply@40", Ended::Silent},
                             {"reglink:garbage@40", Ended::Silent},
                             {"reglink:read-failure@40", Ended::Silent},
                             {"reglink:unplug@40", Ended::NoBoard},
                             {"reglink:non-zero-status@40", Ended::Unacknowledged}};
  constexpr long kPasses = 20;
  for (const Case& c : kCases) {
    for (const RunKind run : {RunKind::Monitor, RunKind::Batch, RunKind::Log}) {
      const std::string name = std::string(c.fault) + " / run " + std::to_string(int(run));
      test::TempDir folder;
      const auto bench = Bench::Open(Simulated(std::nullopt, c.fault));
      long acknowledged = 0;
      long unacknowledged = 0;
      const auto count = [&](const Measurement& m) {
        ++(m.acknowledged ? acknowledged : unacknowledged);
      };
      Ended ended = Ended::Unacknowledged;
      long passes = 0;
      try {
        if (run == RunKind::Monitor) {
          passes = bench->Monitor({.passes = kPasses}, count).passes;
        } else if (run == RunKind::Batch) {
          for (const Measurement& m : bench->MonitorBatch({.passes = kPasses})) count(m);
          passes = acknowledged + unacknowledged;
        } else {
          const LogSummary log = bench->Log(folder.path() / "run.csv", {.passes = kPasses}, count);
          passes = log.passes;
          EXPECT_EQ(log.logged, acknowledged) << name;
        }
      } catch (const NoBoardError&) {
        ended = Ended::NoBoard;
      } catch (const BoardSilentError&) {
        ended = Ended::Silent;
      }
      EXPECT_EQ(ended, c.ended) << name;
      if (c.ended == Ended::Unacknowledged) {
        EXPECT_EQ(passes, kPasses) << name;
        EXPECT_GT(unacknowledged, 0) << name;
      } else {
        EXPECT_EQ(unacknowledged, 0) << name << ": no pass of zeros before the failure";
      }
      if (run != RunKind::Batch) {
        EXPECT_GT(acknowledged, 0) << name << ": the passes before it";
      }
    }
  }
}

// A batch that was stopped says so instead of returning what it had as the run.
TEST(Bench, AStoppedBatchIsCancelledAndAFullOneGivesEveryPass) {
  const auto bench = Bench::Open(Simulated());
  EXPECT_EQ(bench->MonitorBatch({.passes = 3}).size(), 3u);
  std::stop_source stop;
  stop.request_stop();
  EXPECT_THROW(bench->MonitorBatch({.passes = 3}, stop.get_token()), CancelledError);
  EXPECT_EQ(bench->Monitor({.passes = 3}, {}, stop.get_token()).stopped, true);
  EXPECT_EQ(bench->MonitorBatch({.passes = 2}).size(), 2u) << "the caller's stop was its own";
}

// The test board's refusals are the caller's input, with where it went wrong.
TEST(Bench, TestBoardAndMnemonicRefusalsAreTyped) {
  const auto bench = Bench::Open(Simulated());
  try {
    bench->SetDac(DacChannel::A, 4.95, Reference::Factory5V);
    ADD_FAILURE() << "4.95 V on the 5 V reference";
  } catch (const ParseError& e) {
    EXPECT_EQ(e.position, 0u);
    EXPECT_NE(std::string(e.what()).find("0.05 V to 4.9 V"), std::string::npos) << e.what();
  }
  EXPECT_EQ(bench->SetDac(DacChannel::A, 4.9, Reference::Factory5V), 4.9);
  try {
    bench->Send({"CMD ON", "I2C CH2 S 91 ACKS X P"});
    ADD_FAILURE() << "a word that is no token";
  } catch (const ParseError& e) {
    EXPECT_EQ(e.position, 19u);
  }
}

}  // namespace
}  // namespace evm
