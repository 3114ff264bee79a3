// SPDX-License-Identifier: GPL-3.0-or-later
// A program of its own on the installed library: calibrate the simulated EVM,
// then log ten passes of current and power. Built against the installed
// package by the tests, so what is installed is enough to build it.
#include <zm5520evm/bench.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

int main(int argc, char* argv[]) {
  const std::filesystem::path folder = argc > 1 ? argv[1] : ".";
  try {
    evm::BenchOptions options;
    options.simulate = true;  // false: the real boards
    options.onNotice = [](const std::string& text) { std::cerr << text << "\n"; };
    auto bench = evm::Bench::Open(options);

    const evm::CalibrationResult cal = evm::Bench::Calculate(
        {.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsbAmps = 100e-6}, bench->ReadConfig());
    if (!cal.Ok()) {
      std::cerr << cal.refusalMessage << "\n";
      return 2;
    }
    bench->ApplyCalibration(cal);
    std::printf("calibration register %u\n", static_cast<unsigned>(cal.calibration));

    const evm::LogSummary log = bench->Log(
        folder / "current.csv", {.passes = 10},
        [](const evm::Measurement& m) { std::printf("%.6f A  %.6f W\n", m.amperes, m.watts); });
    return log.logged == 10 ? 0 : 1;
  } catch (const evm::Error& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
