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

}  // namespace
}  // namespace evm
