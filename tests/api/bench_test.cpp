// SPDX-License-Identifier: GPL-3.0-or-later
#include "zm5520evm/bench.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace evm {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
  TempFolder() {
    path = fs::temp_directory_path() /
           ("bench_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  fs::path path;
};

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
  TempFolder folder;
  {
    auto bench = Bench::Open(Simulated(folder.path));
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
  const RegisterSnapshot read = Bench::Open(Simulated(folder.path))->ReadRegisters();
  EXPECT_NEAR(read.currentLsbAmps, 62.501e-6, 1e-12);
  EXPECT_NEAR(read.powerLsbWatts, 20 * 62.501e-6, 1e-12);

  // A session that keeps no state scales by what it wrote.
  auto stateless = Bench::Open(Simulated());
  stateless->ApplyCalibration(
      Bench::Calculate({.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsbAmps = 62.501e-6},
                       stateless->ReadConfig()));
  EXPECT_NEAR(stateless->MeasureOnce().amperes, 1, 0.01);
}

// Each failure comes as its own type with the program's text; none passes
// for success.
TEST(Bench, FailuresAreTypedAndNamed) {
  TempFolder folder;
  const fs::path missing = folder.path / "missing.csv";
  struct Case {
    const char* fault;
    std::function<void(Bench&)> run;
    std::function<bool(const Error&)> isType;
    const char* text;
  };
  const Case cases[] = {
      {"reglink:no-board", [](Bench& b) { b.ReadRegisters(); },
       [](const Error& e) { return dynamic_cast<const NoBoardError*>(&e) != nullptr; },
       "no register link board found (vendor id 3A5F, product id 5F00)"},
      {"reglink:no-permission", [](Bench& b) { b.ReadRegisters(); },
       [](const Error& e) { return dynamic_cast<const BoardNotOpenableError*>(&e) != nullptr; },
       "a register link board was found but cannot be opened"},
      // A run on a silent link ends at its first time-out instead of
      // passing on one unanswered pass after another.
      {"reglink:no-reply", [](Bench& b) { b.Monitor({.passes = 3}, {}); },
       [](const Error& e) { return dynamic_cast<const BoardSilentError*>(&e) != nullptr; },
       "the register link did not answer"},
      {"reglink:non-zero-status", [](Bench& b) { b.MeasureOnce(); },
       [](const Error& e) { return dynamic_cast<const NotAcknowledgedError*>(&e) != nullptr; },
       "the device at address 40h did not acknowledge"},
      {"", [](Bench& b) { b.WriteRegister(2, 0x1234); },
       [](const Error& e) {
         const auto* r = dynamic_cast<const ReadBackError*>(&e);
         return r && r->reg == 2 && r->wanted == 0x1234;
       },
       "register 02h at address 40h reads back"},
      {"", [](Bench&) { Bench::Encode("CMD NOSUCHWORD"); },
       [](const Error& e) { return dynamic_cast<const ParseError*>(&e) != nullptr; },
       "'CMD NOSUCHWORD': "},
      {"", [&missing](Bench& b) { b.LoadRegisters(missing); },
       [](const Error& e) { return dynamic_cast<const FileError*>(&e) != nullptr; },
       "cannot read '"},
      {"interface:no-reply", [](Bench& b) { b.Send({"CMD ON"}); },
       [](const Error& e) { return dynamic_cast<const BoardSilentError*>(&e) != nullptr; },
       "'CMD ON': the interface board did not answer"},
      {"interface:no-reply", [](Bench& b) { b.ReadConverter(Converter::Cnv1, Reference::User); },
       [](const Error& e) { return dynamic_cast<const BoardSilentError*>(&e) != nullptr; },
       "the interface board did not answer"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.fault) + " " + k.text);
    auto bench = Bench::Open(Simulated(std::nullopt, k.fault));
    try {
      k.run(*bench);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_TRUE(k.isType(e)) << e.what();
      EXPECT_NE(std::string(e.what()).find(k.text), std::string::npos) << e.what();
    }
  }
}

// A stop ends a run at the pass in progress and keeps what was done; until
// it is cleared it ends every later one at once.
TEST(Bench, StopEndsRunsAndKeepsWhatWasDone) {
  TempFolder folder;
  auto bench = Bench::Open(Simulated());
  long told = 0;
  const RunSummary run = bench->Monitor({}, [&](const Measurement&) {
    if (++told == 3) bench->RequestStop();
  });
  EXPECT_EQ(run.passes, 3);
  EXPECT_TRUE(run.stopped);
  EXPECT_THROW(bench->MeasureOnce(), CancelledError);
  const LogSummary stoppedLog = bench->Log(folder.path / "none.csv", {.passes = 5});
  EXPECT_EQ(stoppedLog.passes, 0);
  bench->ClearStop();

  std::stop_source caller;
  const auto passes = bench->MonitorBatch({.passes = 4}, caller.get_token());
  EXPECT_EQ(passes.size(), 4u);
  const LogSummary log = bench->Log(folder.path / "log.csv", {.seconds = 2.5});
  EXPECT_FALSE(log.stopped);
  EXPECT_EQ(log.logged, log.passes);
  EXPECT_GE(log.passes, 2);
}

// A log never replaces a file marked read-only, and no state folder means
// no file is touched, not even in the working folder.
TEST(Bench, FilesAreLeftAsTheUserWants) {
  TempFolder folder;
  const fs::path readOnly = folder.path / "ro.csv";
  std::ofstream(readOnly) << "keep\n";
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  auto bench = Bench::Open(Simulated());
  EXPECT_THROW(bench->Log(readOnly, {.passes = 1}), FileError);
  std::ifstream kept(readOnly);
  std::string line;
  std::getline(kept, line);
  EXPECT_EQ(line, "keep");

  const fs::path cwd = fs::current_path();
  const fs::path empty = folder.path / "cwd";
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

}  // namespace
}  // namespace evm
