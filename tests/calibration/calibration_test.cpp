// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "calibration/initial_calibration.h"
#include "calibration/second_calibration.h"
#include "common/eng_number.h"
#include "registers/register_display.h"
#include "registers/register_fixture.h"

namespace evm {
namespace {

// The simulated device with a steady 1 A through 10 mOhm at 12 V.
struct CalContext : test::RegContext {
  explicit CalContext(NumberLocale locale = NumberLocale::Point()) : RegContext(locale) {
    Device().load.noise = false;
  }
  CalibrationPanel& Cal() { return panels.calibration; }
  // Config register on the device and in the store, as a read leaves it.
  void UseConfig(int config) {
    Device().SetRegisterForTest(0, static_cast<uint16_t>(config));
    ReadAllRegs(evm, panels);
  }
  void Inputs(const char* rshunt, const char* current, const char* lsb) {
    Cal().txtRshunt = rshunt;
    Cal().txtMaxExpectedCurrent = current;
    Cal().txtSelectedCurrentLSB = lsb;
  }
  bool RunButtons() {
    return cmdEnterShuntR_Click(evm, panels) && cmdEnterMaxExpCur_Click(evm, panels) &&
           cmdEnterCurrentLSB_Click(evm, panels);
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
      {"negative shunt", "-0.01", "2", "100u", 0, kRshuntMessage},
      {"zero current", "0.01", "0", "100u", 1, kMaxExpectedCurrentMessage},
      {"current above the possible", "0.01", "32.001", "100u", 1, kMaxExpectedCurrentMessage},
      {"current equal to the possible", "0.01", "32", "977u", 3, nullptr},
      {"negative current by its magnitude", "0.01", "-2", "100u", 3, nullptr},
      {"LSB equal to the minimum", "0.01", "2", "61.037u", 2, kLsbOutOfRangeMessage},
      {"LSB equal to the maximum", "0.01", "2", "488.400u", 2, kLsbOutOfRangeMessage},
      {"calibration beyond 16 bits", "0.0001", "2", "100u", 2, kCalibrationTooLargeMessage},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CalContext c;
    c.UseConfig(0x399F);
    c.Inputs(k.rshunt, k.current, k.lsb);
    const size_t writes = c.Writes().size();
    bool ran[3] = {};
    ran[0] = cmdEnterShuntR_Click(c.evm, c.panels);
    if (ran[0]) ran[1] = cmdEnterMaxExpCur_Click(c.evm, c.panels);
    if (ran[1]) ran[2] = cmdEnterCurrentLSB_Click(c.evm, c.panels);
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

TEST(InitialCalibration, ARejectedLsbIsStillUsed) {
  CalContext c;
  c.UseConfig(0x399F);
  c.Inputs("0.01", "2", "100u");
  ASSERT_TRUE(c.RunButtons());
  c.Cal().txtSelectedCurrentLSB = c.Cal().txtMinLSB;  // typed back: rejected
  EXPECT_FALSE(cmdEnterCurrentLSB_Click(c.evm, c.panels));
  EXPECT_EQ(c.Cal().txtFSC_Dec, "");
  EXPECT_EQ(c.Cal().txtSelectedCurrentLSB, "");
  EXPECT_EQ(c.Cal().txtFSC_Hex, "A000") << "other results stay";
  EXPECT_NEAR(c.Store().CurrentLsb, 61.037e-6, 1e-12);

  // A shunt emptied after its own button refuses at the LSB step.
  c.Cal().txtSelectedCurrentLSB = "100u";
  c.Cal().txtRshunt = "";
  c.ui.messages.clear();
  EXPECT_FALSE(cmdEnterCurrentLSB_Click(c.evm, c.panels));
  ASSERT_EQ(c.ui.messages.size(), 1u);
  EXPECT_EQ(c.ui.messages[0].text, kRshuntMessage);
}

// The calculation evmctl, the API and the tab share, on the default ranges
// (PGA /8, 32 V bus: 0.32 V full scale), in both locales.
TEST(InitialCalibration, ComputesOrRefusesEachInput) {
  using enum CalibrationRefusal;
  struct Case {
    const char* name;
    double rshunt, current, lsb;
    CalibrationRefusal refusal;
    uint16_t calibration;
    double powerLsb;
    int64_t overflowCode;
    bool maxPossibleShown;  // "32." (or "32,"), beside a refusal too
  };
  // clang-format off
  const Case cases[] = {
      {"worked example",                 0.01, 2,  100e-6,     None,       40960,  2e-3,        32767, true},
      {"a negative current by its size", 0.01, -2, 100e-6,     None,       40960,  2e-3,        32767, true},
      {"overflow before full scale",     0.01, 20, 1e-3,       None,       4096,   20e-3,       32000, true},
      {"65535 fits the register",        0.01, 2,  62.5001e-6, None,       0xFFFF, 1.250002e-3, 32767, true},
      {"65536 does not",                 0.01, 2,  62.5e-6,    TooLarge,   0,      0,           0,     true},
      {"no shunt",                       0,    2,  100e-6,     Rshunt,     0,      0,           0,     false},
      {"more than the shunt can show",   0.01, 33, 1e-3,       MaxExpectedCurrent, 0, 0,        0,     true},
      {"LSB above 12 bits",              0.01, 2,  500e-6,     CurrentLsb, 0,      0,           0,     true},
  };
  // clang-format on
  const CalibrationRanges ranges{0.32, 32};
  for (const NumberLocale& locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    for (const Case& k : cases) {
      SCOPED_TRACE(std::string(k.name) + " with '" + locale.decimalSeparator + "'");
      const InitialCalibration c =
          ComputeInitialCalibration({k.rshunt, k.current, k.lsb}, ranges, locale);
      EXPECT_EQ(c.refusal, k.refusal);
      EXPECT_EQ(c.text.maxPossibleCurrent,
                k.maxPossibleShown ? "32" + std::string(1, locale.decimalSeparator) : "");
      if (!c.Ok()) continue;
      EXPECT_EQ(c.calibration, k.calibration);
      EXPECT_NEAR(c.powerLsb, k.powerLsb, 1e-12);
      EXPECT_EQ(c.maxCurrentBeforeOverflowCode, k.overflowCode);
      EXPECT_NEAR(c.maxCurrentBeforeOverflow, k.overflowCode * k.lsb, 1e-6);
    }
  }
}

TEST(FirstActivation, RestoredInputsRecomputeQuietlyAndStopAtTheFirstBadStep) {
  struct Case {
    const char* name;
    const char *rshunt, *current, *lsb;
    bool runWithoutUsb;
    bool maxPosCur, lsbRange, calibrated;
    double currentLsb, powerLsb;
  };
  // clang-format off
  const Case cases[] = {
      {"all restored",               "0.01",   "2",  "100u", false, true,  true,  true,  100e-6, 2e-3},
      {"shunt unusable",             "abc",    "2",  "100u", false, false, false, false, 0,      0},
      {"negative current",           "0.01",   "-2", "100u", false, true,  false, false, 0,      0},
      {"current too large",          "0.01",   "50", "100u", false, true,  false, false, 0,      0},
      {"LSB out of range",           "0.01",   "2",  "10u",  false, true,  true,  false, 10e-6,  0},
      {"calibration beyond 16 bits", "0.0001", "2",  "100u", false, true,  true,  false, 100e-6, 0},
      {"run without USB",            "0.01",   "2",  "100u", true,  false, false, false, 0,      0},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    CalContext c;
    c.Inputs(k.rshunt, k.current, k.lsb);
    c.evm.shell().RunWithoutUsb = k.runWithoutUsb;
    FirstActivation(c.evm, c.panels);
    EXPECT_EQ(c.Store().RegValue[0], 0x399F) << "registers are read in every case";
    EXPECT_EQ(!c.Cal().txtMaxPosCur.empty(), k.maxPosCur);
    EXPECT_EQ(!c.Cal().txtMinLSB.empty(), k.lsbRange);
    EXPECT_EQ(c.Cal().txtFSC_Hex, k.calibrated ? "A000" : "");
    EXPECT_EQ(c.Device().Register(5), k.calibrated ? 0xA000 : 0);
    EXPECT_DOUBLE_EQ(c.Store().CurrentLsb, k.currentLsb);
    EXPECT_DOUBLE_EQ(c.Store().PowerLsb, k.powerLsb);
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
    cmdReadInitCalCurrent_Click(evm, panels);
  }
};

TEST(SecondCalibration, ScalesByMeteredOverReportedCurrentOrRefusesWhatTheRegisterCannotTake) {
  for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    SecondCal c(locale);
    EXPECT_EQ(c.Cal().txtQMA740_Current, "1");
    EXPECT_FALSE(c.Cal().cmdReadInitCalCurrentEnabled);
    c.Cal().txtMeasShuntCurrent = L("1.02", locale);
    ASSERT_TRUE(cmdSecondCal_Click(c.evm, c.panels));
    EXPECT_EQ(c.Cal().txtNewFullScaleCal_dec, "41778") << "41779 with bit 0 cleared";
    EXPECT_EQ(c.Cal().txtNewFullScaleCal, "A332");
    EXPECT_EQ(c.Device().Register(5), 41778);
    EXPECT_EQ(c.Cal().txtFSC_Dec, "40960") << "the initial value stays";
    EXPECT_EQ(c.Cal().txtPostCal_Current, L("1.0199", locale));
    EXPECT_FALSE(c.Cal().cmdSecondCalEnabled);
    EXPECT_TRUE(c.ui.messages.empty());
  }

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
      {"measured equal to the limit", "40960", "3.2767", "3.2767", 40960, nullptr},
      {"65535 before bit 0", "65535", "1", "1", -1, kSecondCalRangeMessage},
      {"65534", "65534", "1", "1", 65534, nullptr},
      {"opposite signs", "40960", "1", "-1", -1, kSecondCalRangeMessage},
      {"device reported no current", "40960", "0", "1", -1, kSecondCalRangeMessage},
      {"metered current of zero", "40960", "1", "0", -1, kSecondCalRangeMessage},
      {"metered current not a number", "40960", "1", "abc", -1, kSecondCalRangeMessage},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SecondCal c;
    c.Cal().txtFSC_Dec = k.fscDec;
    c.Cal().txtQMA740_Current = k.deviceCurrent;
    c.Cal().txtMeasShuntCurrent = k.measured;
    const size_t writes = c.Writes().size();
    EXPECT_EQ(cmdSecondCal_Click(c.evm, c.panels), k.written >= 0);
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
    gridReg_RowColChange(c.evm, c.panels, 3, 2);  // 02h, the bus voltage
    const std::string shown = c.Panel().txtCurrent_Decmal;
    ASSERT_FALSE(shown.empty());
    const auto values = c.Store().RegValue;
    const size_t requests = c.Board().RequestCount();
    for (const char* typed : {"5", "1.5k", "abc", ""}) {
      SCOPED_TRACE(typed);
      c.Panel().txtCurrent_Decmal = typed;
      txtCurrent_Decmal_LostFocus(c.evm, c.panels, typed);
      EXPECT_EQ(c.Panel().txtCurrent_Decmal, shown);
      EXPECT_EQ(c.Store().RegValue, values);
      EXPECT_EQ(c.Board().RequestCount(), requests);
    }
  }
}

const NumberLocale kPoint = NumberLocale::Point();
const NumberLocale kComma = NumberLocale::Comma();

TEST(ParseEngNumber, ExamplesAndPrefixesInBothLocales) {
  struct Case {
    const char* point;
    const char* comma;
    double value;
  };
  // clang-format off
  const Case cases[] = {
      {"100u", "100u", 1e-4}, {"1.5 k", "1,5 k", 1500}, {"10mA", "10mA", 0.01}, {"5M", "5M", 5e6},
      {"5m", "5m", 0.005}, {"12V", "12V", 12}, {"1.5e-3m", "1,5e-3m", 1.5e-6}, {"abc", "abc", 0},
      {"-2", "-2", -2}, {"", "", 0}, {"   ", "   ", 0}, {"2T", "2t", 2e12},
      {"3G", "3G", 3e9}, {"3g", "3g", 3}, {"7n", "7N", 7e-9}, {"7p", "7P", 7e-12},
      {"7f", "7F", 7e-15}, {"7K", "7k", 7000}, {"3E", "3E", 3}, {"1-2", "1-2", 1},
      {"+-", "+-", 0}, {"--2", "--2", 0}, {"+-2", "+-2", 0}, {"1e308T", "1e308T", 0},
      {",,", "..", 0}, {"1e400", "1e400", 0}, {"1e-400", "1e-400", 0}, {"0.01", "0,01", 0.01},
      {" 2 ", " 2 ", 2}, {"1Meg", "1Meg", 1e6},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(ParseEngNumber(c.point, kPoint), c.value) << c.point;
    EXPECT_DOUBLE_EQ(ParseEngNumber(c.comma, kComma), c.value) << c.comma;
  }
  // Either mark in either locale, the same way; two marks are no number.
  for (const NumberLocale& locale : {kPoint, kComma}) {
    EXPECT_DOUBLE_EQ(ParseEngNumber("1,5", locale), 1.5);
    EXPECT_DOUBLE_EQ(ParseEngNumber("1.5", locale), 1.5);
    EXPECT_DOUBLE_EQ(ParseEngNumber("1.000,5", locale), 0);
  }
}

TEST(FormatEngNumber, ThreeDecimalsTheLowerPrefixAtPowersOfAThousandAndTheReadBack) {
  struct Case {
    double value;
    const char* point;
    const char* comma;
  };
  const Case cases[] = {
      {0.0001, "100.000u", "100,000u"},     {3.2, "3.200 ", "3,200 "},
      {-0.0125, "-12.500m", "-12,500m"},    {0, "0.000", "0,000"},
      {2.5e-16, "0.000", "0,000"},          {1000, "1000.000 ", "1000,000 "},
      {1, "1000.000m", "1000,000m"},        {1e6, "1000.000K", "1000,000K"},
      {1.5e13, "15.000T", "15,000T"},       {30.517578125e-6, "30.518u", "30,518u"},
      {999.9996, "1000.000 ", "1000,000 "}, {1500, "1.500K", "1,500K"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatEngNumber(c.value, kPoint), c.point);
    EXPECT_EQ(FormatEngNumber(c.value, kComma), c.comma);
  }
  // What is written reads back as the value rounded to three decimals in the
  // chosen prefix, so a box filled by the program can be typed over and read.
  const struct {
    double value, readBack;
  } readBacks[] = {
      {1.2345649e-4, 123.456e-6}, {0.0012344, 1.234e-3},        {-2.5, -2.5}, {47.0001, 47},
      {65535, 65.535e3},          {3.0517578125e-5, 30.518e-6},
  };
  for (const auto& c : readBacks) {
    for (const NumberLocale& locale : {kPoint, kComma}) {
      const std::string text = FormatEngNumber(c.value, locale);
      EXPECT_NEAR(ParseEngNumber(text, locale), c.readBack, 1e-12 * std::abs(c.readBack) + 1e-18)
          << text;
    }
  }
}

TEST(FormatWithPattern, PatternsTheProgramUses) {
  struct Case {
    double value;
    const char* pattern;
    const char* point;
  };
  const Case cases[] = {
      {32, "#.####", "32."},         {3.2, "#.####", "3.2"},    {0.5, "#.####", ".5"},
      {0.123456, "#.####", ".1235"}, {1.5, "##0.000", "1.500"}, {-1, "#####0", "-1"},
      {65535, "#####0", "65535"},    {0, "#####0", "0"},        {-0.0001, "##0.000", "0.000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatWithPattern(c.value, c.pattern, kPoint), c.point);
    std::string comma = c.point;
    for (char& ch : comma) ch = ch == '.' ? ',' : ch;
    EXPECT_EQ(FormatWithPattern(c.value, c.pattern, kComma), comma);
  }
}

}  // namespace
}  // namespace evm
