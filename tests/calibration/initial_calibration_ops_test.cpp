// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "calibration/initial_calibration.h"

namespace evm {
namespace {

// The calculation evmctl, the API and the tab share, on the default ranges
// (PGA /8, 32 V bus: 0.32 V full scale), in both locales.
TEST(InitialCalibration, ComputesOrRefusesEachInput) {
  struct Case {
    const char* name;
    CalibrationInputs in;
    CalibrationRefusal refusal;
    uint16_t calibration;
    double powerLsb;
    int64_t overflowCode;
    bool maxPossibleShown;  // "32." (or "32,"), beside a refusal too
  };
  const CalibrationRanges ranges{0.32, 32};
  const Case cases[] = {
      {"worked example", {0.01, 2, 100e-6}, CalibrationRefusal::None, 40960, 2e-3, 32767, true},
      {"a negative current counts by its size",
       {0.01, -2, 100e-6},
       CalibrationRefusal::None,
       40960,
       2e-3,
       32767,
       true},
      {"overflow before full scale",
       {0.01, 20, 1e-3},
       CalibrationRefusal::None,
       4096,
       20e-3,
       32000,
       true},
      {"65535 fits the register",
       {0.01, 2, 62.5001e-6},
       CalibrationRefusal::None,
       0xFFFF,
       1.250002e-3,
       32767,
       true},
      {"65536 does not", {0.01, 2, 62.5e-6}, CalibrationRefusal::TooLarge, 0, 0, 0, true},
      {"no shunt", {0, 2, 100e-6}, CalibrationRefusal::Rshunt, 0, 0, 0, false},
      {"more than the shunt can show",
       {0.01, 33, 1e-3},
       CalibrationRefusal::MaxExpectedCurrent,
       0,
       0,
       0,
       true},
      {"LSB above 12 bits", {0.01, 2, 500e-6}, CalibrationRefusal::CurrentLsb, 0, 0, 0, true},
  };
  for (const NumberLocale& locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(std::string(k.name) + " with '" + locale.decimalSeparator + "'");
      const InitialCalibration c = ComputeInitialCalibration(k.in, ranges, locale);
      EXPECT_EQ(c.refusal, k.refusal);
      EXPECT_EQ(c.text.maxPossibleCurrent,
                k.maxPossibleShown ? "32" + std::string(1, locale.decimalSeparator) : "");
      if (!c.Ok()) continue;
      EXPECT_EQ(c.calibration, k.calibration);
      EXPECT_NEAR(c.powerLsb, k.powerLsb, 1e-12);
      EXPECT_EQ(c.maxCurrentBeforeOverflowCode, k.overflowCode);
      EXPECT_NEAR(c.maxCurrentBeforeOverflow, k.overflowCode * k.in.currentLsb, 1e-6);
    }
  }
}

}  // namespace
}  // namespace evm
