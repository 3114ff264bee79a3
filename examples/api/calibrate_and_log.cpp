// The operations as another front end uses them: calibrate the simulated EVM,
// then log ten passes of current and power. Built and run with the tests, so
// the example in HACKING.md stays true.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "calibration/initial_calibration.h"
#include "calibration/measurement_log.h"
#include "cli/console_ui.h"
#include "devices/platform.h"
#include "evm.h"
#include "registers/register_ops.h"

int main(int argc, char* argv[]) {
  using namespace evm;
  const std::filesystem::path folder = argc > 1 ? argv[1] : ".";

  FakeClock clock;  // or SystemClock
  auto hid = MakePlatform({.simulate = true}, clock);
  cli::ConsoleUi ui(std::cerr);  // any UserInterface; operations never call it
  Evm evm(EvmSeams{*hid, clock, ui, NumberLocale::Point(), folder, kDefaultBoardVendorId});
  if (!evm.regLink.OpenRegLink()) return 3;

  const RegisterRead read = ReadRegisters(evm.regLink, 0x40, kNormalLastReg);
  const InitialCalibration cal =
      ComputeInitialCalibration({.rshuntOhms = 0.01, .maxExpectedAmps = 2, .currentLsb = 100e-6},
                                RangesOfConfig(read.values[0]), NumberLocale::Point());
  if (!cal.Ok()) return 2;  // cal.refusal names the input
  if (!WriteRegisterVerified(evm.regLink, 0x40, 5, cal.calibration).Matches()) return 1;

  MeasurementLog log;
  if (!log.Open(folder / "current.csv")) return 2;
  for (int i = 0; i < 10; ++i) {
    const MeasurementRecord r =
        MeasureOnce(evm.regLink, clock, 0x40, kNormalLastReg, {cal.currentLsb, cal.powerLsb});
    if (!r.registers.AllAcknowledged() || !log.Append(r)) return 1;
    std::printf("%.6f A  %.6f W\n", r.quantities.amperes, r.quantities.watts);
  }
  return 0;
}
