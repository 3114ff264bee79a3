// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "calibration/initial_calibration.h"
#include "calibration/second_calibration.h"
#include "registers/register_display.h"
#include "registers/register_fixture.h"

namespace evm {
namespace {

// The simulated device with a steady 1 A through 10 mOhm at 12 V.
struct CalContext : test::RegContext {
  explicit CalContext(NumberLocale locale = NumberLocale::Point()) : RegContext(locale) {
    Device().load.noise = false;
  }
  CalibrationPanel& Cal() { return evm.calibration; }
  // Config register on the device and in the store, as a read leaves it.
  void UseConfig(int config) {
    Device().SetRegisterForTest(0, static_cast<uint16_t>(config));
    ReadAllRegs(evm);
  }
  void Inputs(const char* rshunt, const char* current, const char* lsb) {
    Cal().txtRshunt = rshunt;
    Cal().txtMaxExpectedCurrent = current;
    Cal().txtSelectedCurrentLSB = lsb;
  }
  bool RunButtons() {
    return cmdEnterShuntR_Click(evm) && cmdEnterMaxExpCur_Click(evm) &&
           cmdEnterCurrentLSB_Click(evm);
  }
};

std::string L(const char* text, const NumberLocale& locale) {
  std::string s = text;
  for (char& c : s) {
    if (c == '.') c = locale.decimalSeparator;
  }
  return s;
}

TEST(InitialCalibration, WorkedExamplesInBothLocales) {
  struct Case {
    const char* name;
    int config;
    const char *rshunt, *current, *lsb;
    const char *maxPosCur, *minLsb, *maxLsb, *fscHex, *fscDec, *maxI, *noOverflow, *label, *maxIHex,
        *powerLsb, *maxPower;
  };
  const Case cases[] = {
      {"defaults at 0.32 V", 0x399F, "0.01", "2", "100u", "32.", "61.037u", "488.400u", "A000",
       "40960", "3.2767", "0.032767", "(Overflow Possible)", "7FFF", "2.000m", "104.854 "},
      {"0.1 ohm, 1 A", 0x399F, "0.1", "1", "100u", "3.2", "30.519u", "244.200u", "1000", "4096",
       "3.200 ", "0.32", "(Overflow Not Possible)", "7D00", "2.000m", "102.400 "},
      {"0.04 V range, 16 V bus", 0x019F, "0.01", "2", "100u", "4.", "61.037u", "488.400u", "A000",
       "40960", "3.2767", "0.032767", "(Overflow Possible)", "7FFF", "2.000m", "52.427 "},
      {"prefixed shunt", 0x399F, "10m", "2", "0.1m", "32.", "61.037u", "488.400u", "A000", "40960",
       "3.2767", "0.032767", "(Overflow Possible)", "7FFF", "2.000m", "104.854 "},
  };
  for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(std::string(k.name) + (locale.decimalSeparator == ',' ? ", comma" : ", point"));
      CalContext c(locale);
      c.UseConfig(k.config);
      c.Inputs(L(k.rshunt, locale).c_str(), k.current, L(k.lsb, locale).c_str());
      ASSERT_TRUE(c.RunButtons());
      const CalibrationPanel& p = c.Cal();
      EXPECT_EQ(p.txtMaxPosCur, L(k.maxPosCur, locale));
      EXPECT_EQ(p.txtMinLSB, L(k.minLsb, locale));
      EXPECT_EQ(p.txtMaxLSB, L(k.maxLsb, locale));
      EXPECT_EQ(p.txtFSC_Hex, k.fscHex);
      EXPECT_EQ(p.txtFSC_Dec, k.fscDec);
      EXPECT_EQ(p.txtMaxI, L(k.maxI, locale));
      EXPECT_EQ(p.txtMaxShunt_NoOverflow, L(k.noOverflow, locale));
      EXPECT_EQ(p.Label91, k.label);
      EXPECT_EQ(p.txtMaxI_Hex, k.maxIHex);
      EXPECT_EQ(p.txtPowerLSB, L(k.powerLsb, locale));
      EXPECT_EQ(p.txtMaxPower, L(k.maxPower, locale));
      EXPECT_TRUE(c.ui.messages.empty());
      // Written to the device and read back.
      EXPECT_EQ(c.Device().Register(5), std::stoi(k.fscDec));
      EXPECT_FALSE(c.Store().RegEdited[5]);
      EXPECT_DOUBLE_EQ(c.Store().CurrentLsb, 1e-4);
      EXPECT_TRUE(p.cmdSecondCalEnabled);
    }
  }
}

TEST(InitialCalibration, EachButtonRefusesItsOwnBadInput) {
  struct Case {
    const char* name;
    const char *rshunt, *current, *lsb;
    int buttonsThatRun;  // of the three, in order
    const char* message;
  };
  const Case cases[] = {
      {"zero shunt", "0", "2", "100u", 0, kRshuntMessage},
      {"shunt without a number", "ohms", "2", "100u", 0, kRshuntMessage},
      {"negative shunt", "-0.01", "2", "100u", 0, kRshuntMessage},
      {"zero current", "0.01", "0", "100u", 1, kMaxExpectedCurrentMessage},
      {"current above the possible", "0.01", "32.001", "100u", 1, kMaxExpectedCurrentMessage},
      {"current equal to the possible", "0.01", "32", "977u", 3, nullptr},
      {"negative current by its magnitude", "0.01", "-2", "100u", 3, nullptr},
      {"LSB equal to the minimum", "0.01", "2", "61.037u", 2, kLsbOutOfRangeMessage},
      {"LSB equal to the maximum", "0.01", "2", "488.400u", 2, kLsbOutOfRangeMessage},
      {"LSB below the minimum", "0.01", "2", "10u", 2, kLsbOutOfRangeMessage},
      {"calibration beyond 16 bits", "0.0001", "2", "100u", 2, kCalibrationTooLargeMessage},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CalContext c;
    c.UseConfig(0x399F);
    c.Inputs(k.rshunt, k.current, k.lsb);
    const size_t writes = c.Writes().size();
    bool ran[3] = {};
    ran[0] = cmdEnterShuntR_Click(c.evm);
    if (ran[0]) ran[1] = cmdEnterMaxExpCur_Click(c.evm);
    if (ran[1]) ran[2] = cmdEnterCurrentLSB_Click(c.evm);
    EXPECT_EQ(ran[0] + ran[1] + ran[2], k.buttonsThatRun);
    if (k.message) {
      ASSERT_EQ(c.ui.messages.size(), 1u);
      EXPECT_EQ(c.ui.messages[0].text, k.message);
      const std::string* boxes[] = {&c.Cal().txtRshunt, &c.Cal().txtMaxExpectedCurrent,
                                    &c.Cal().txtSelectedCurrentLSB};
      if (k.message != kCalibrationTooLargeMessage) {
        EXPECT_EQ(*boxes[k.buttonsThatRun], "") << "the refused box is emptied";
      }
      EXPECT_EQ(c.Store().RegValue[5], 0) << "nothing stored";
      EXPECT_EQ(c.Writes().size(), writes) << "nothing written";
    } else {
      EXPECT_TRUE(c.ui.messages.empty());
    }
  }
}

TEST(InitialCalibration, CalculationWithoutWriteGivesTheResultsAndLeavesTheDevice) {
  CalContext c;
  c.UseConfig(0x399F);
  c.Inputs("0.1", "1", "100u");
  const uint16_t before = c.Device().Register(5);
  const size_t writes = c.Writes().size();
  ASSERT_TRUE(cmdEnterShuntR_Click(c.evm));
  ASSERT_TRUE(cmdEnterMaxExpCur_Click(c.evm));
  ASSERT_TRUE(CalculateCurrentLsb(c.evm));
  // As the buttons give them for the same inputs.
  EXPECT_EQ(c.Cal().txtFSC_Hex, "1000");
  EXPECT_EQ(c.Cal().txtMaxI_Hex, "7D00");
  EXPECT_EQ(c.Cal().Label91, "(Overflow Not Possible)");
  EXPECT_EQ(c.Cal().txtMaxPower, "102.400 ");
  EXPECT_EQ(c.Store().RegValue[5], 4096);
  EXPECT_EQ(c.Device().Register(5), before);
  EXPECT_EQ(c.Writes().size(), writes);
  EXPECT_FALSE(c.Cal().cmdSecondCalEnabled) << "nothing on the device to correct yet";

  c.Inputs("0.1", "1", "10u");
  EXPECT_FALSE(CalculateCurrentLsb(c.evm));
}

TEST(InitialCalibration, ARejectedLsbIsStillUsed) {
  CalContext c;
  c.UseConfig(0x399F);
  c.Inputs("0.01", "2", "100u");
  ASSERT_TRUE(c.RunButtons());
  c.Cal().txtSelectedCurrentLSB = c.Cal().txtMinLSB;  // typed back: rejected
  EXPECT_FALSE(cmdEnterCurrentLSB_Click(c.evm));
  EXPECT_EQ(c.Cal().txtFSC_Dec, "");
  EXPECT_EQ(c.Cal().txtSelectedCurrentLSB, "");
  EXPECT_EQ(c.Cal().txtFSC_Hex, "A000") << "other results stay";
  EXPECT_NEAR(c.Store().CurrentLsb, 61.037e-6, 1e-12);

  // A shunt emptied after its own button refuses at the LSB step.
  c.Cal().txtSelectedCurrentLSB = "100u";
  c.Cal().txtRshunt = "";
  c.ui.messages.clear();
  EXPECT_FALSE(cmdEnterCurrentLSB_Click(c.evm));
  ASSERT_EQ(c.ui.messages.size(), 1u);
  EXPECT_EQ(c.ui.messages[0].text, kRshuntMessage);
}

TEST(FirstActivation, RestoredInputsRecomputeQuietlyAndStopAtTheFirstBadStep) {
  struct Case {
    const char* name;
    const char *rshunt, *current, *lsb;
    bool runWithoutUsb;
    bool maxPosCur, lsbRange, calibrated;
  };
  const Case cases[] = {
      {"all restored", "0.01", "2", "100u", false, true, true, true},
      {"shunt unusable", "abc", "2", "100u", false, false, false, false},
      {"negative current", "0.01", "-2", "100u", false, true, false, false},
      {"current too large", "0.01", "50", "100u", false, true, false, false},
      {"LSB out of range", "0.01", "2", "10u", false, true, true, false},
      {"calibration beyond 16 bits", "0.0001", "2", "100u", false, true, true, false},
      {"run without USB", "0.01", "2", "100u", true, false, false, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CalContext c;
    c.Inputs(k.rshunt, k.current, k.lsb);
    c.evm.shell.RunWithoutUsb = k.runWithoutUsb;
    FirstActivation(c.evm);
    EXPECT_EQ(c.Store().RegValue[0], 0x399F) << "registers are read in every case";
    EXPECT_EQ(!c.Cal().txtMaxPosCur.empty(), k.maxPosCur);
    EXPECT_EQ(!c.Cal().txtMinLSB.empty(), k.lsbRange);
    EXPECT_EQ(c.Cal().txtFSC_Hex, k.calibrated ? "A000" : "");
    EXPECT_EQ(c.Device().Register(5), k.calibrated ? 0xA000 : 0);
    EXPECT_TRUE(c.ui.messages.empty());
    EXPECT_FALSE(c.Cal().cmdSecondCalEnabled);
    EXPECT_EQ(c.Cal().txtRshunt, k.rshunt) << "inputs are kept";
  }
}

struct SecondCal : CalContext {
  explicit SecondCal(NumberLocale locale = NumberLocale::Point()) : CalContext(locale) {
    UseConfig(0x399F);
    Inputs(L("0.01", locale).c_str(), "2", "100u");
    EXPECT_TRUE(RunButtons());
    cmdReadInitCalCurrent_Click(evm);
  }
};

TEST(SecondCalibration, ScalesTheCalibrationByMeteredOverReportedCurrent) {
  for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    SecondCal c(locale);
    EXPECT_EQ(c.Cal().txtQMA740_Current, "1");
    EXPECT_FALSE(c.Cal().cmdReadInitCalCurrentEnabled);
    c.Cal().txtMeasShuntCurrent = L("1.02", locale);
    ASSERT_TRUE(cmdSecondCal_Click(c.evm));
    EXPECT_EQ(c.Cal().txtNewFullScaleCal_dec, "41778") << "41779 with bit 0 cleared";
    EXPECT_EQ(c.Cal().txtNewFullScaleCal, "A332");
    EXPECT_EQ(c.Device().Register(5), 41778);
    EXPECT_EQ(c.Cal().txtFSC_Dec, "40960") << "the initial value stays";
    EXPECT_EQ(c.Cal().txtPostCal_Current, L("1.0199", locale));
    EXPECT_FALSE(c.Cal().cmdSecondCalEnabled);
    EXPECT_TRUE(c.ui.messages.empty());
  }
}

TEST(SecondCalibration, RefusesWhatTheRegisterCannotTake) {
  struct Case {
    const char* name;
    const char *fscDec, *deviceCurrent, *measured;
    int written;  // -1: refused
    const char* message;
  };
  const std::string tooLarge =
      "Your measured current is larger then the max shunt current without overflow (Imax= "
      "3.2767A ).\r\nMake this measurement at a lower shunt current.";
  const Case cases[] = {
      {"measured above the limit", "40960", "1", "3.2768", -1, tooLarge.c_str()},
      {"negative measured above the limit", "40960", "1", "-3.3", -1, tooLarge.c_str()},
      {"measured equal to the limit", "40960", "3.2767", "3.2767", 40960, nullptr},
      {"65535 before bit 0", "65535", "1", "1", -1, kSecondCalRangeMessage},
      {"65534", "65534", "1", "1", 65534, nullptr},
      {"opposite signs", "40960", "1", "-1", -1, kSecondCalRangeMessage},
      {"device reported no current", "40960", "0", "1", -1, kSecondCalRangeMessage},
      {"device current unreadable", "40960", "", "1", -1, kSecondCalRangeMessage},
      {"metered current of zero", "40960", "1", "0", -1, kSecondCalRangeMessage},
      {"metered current left empty", "40960", "1", "", -1, kSecondCalRangeMessage},
      {"metered current not a number", "40960", "1", "abc", -1, kSecondCalRangeMessage},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SecondCal c;
    c.Cal().txtFSC_Dec = k.fscDec;
    c.Cal().txtQMA740_Current = k.deviceCurrent;
    c.Cal().txtMeasShuntCurrent = k.measured;
    const size_t writes = c.Writes().size();
    EXPECT_EQ(cmdSecondCal_Click(c.evm), k.written >= 0);
    if (k.written >= 0) {
      EXPECT_EQ(c.Writes().back(), std::make_pair(5, k.written));
      EXPECT_TRUE(c.ui.messages.empty());
    } else {
      EXPECT_EQ(c.Writes().size(), writes);
      EXPECT_EQ(c.Store().RegValue[5], 40960);
      ASSERT_EQ(c.ui.messages.size(), 1u);
      EXPECT_EQ(c.ui.messages[0].text, k.message);
      EXPECT_TRUE(c.Cal().cmdSecondCalEnabled) << "stays enabled for a retry";
    }
  }
}

TEST(RegisterBitMap, DecimalBoxLeftChangesNoRegisterAndShowsTheScaledValueAgain) {
  for (const NumberLocale& locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    SCOPED_TRACE(locale.decimalSeparator);
    CalContext c(locale);
    c.UseConfig(0x399F);
    gridReg_RowColChange(c.evm, 3, 2);  // 02h, the bus voltage
    const std::string shown = c.Panel().txtCurrent_Decmal;
    ASSERT_FALSE(shown.empty());
    const auto values = c.Store().RegValue;
    const size_t requests = c.Board().RequestCount();
    for (const char* typed : {"5", "1.5k", "abc", ""}) {
      SCOPED_TRACE(typed);
      c.Panel().txtCurrent_Decmal = typed;
      txtCurrent_Decmal_LostFocus(c.evm, typed);
      EXPECT_EQ(c.Panel().txtCurrent_Decmal, shown);
      EXPECT_EQ(c.Store().RegValue, values);
      EXPECT_EQ(c.Board().RequestCount(), requests);
    }
  }
}

}  // namespace
}  // namespace evm
