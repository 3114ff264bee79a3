// SPDX-License-Identifier: GPL-3.0-or-later
// The operations' own behaviour; each failure's type and text is checked
// through the Python package, whose errors are these (tests/python).
#include "zm5520evm/bench.h"

#include <gtest/gtest.h>

#include <filesystem>

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
