// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_map.h"

#include <gtest/gtest.h>

namespace evm {
namespace {

TEST(FormatRegText, FormsRangesAndTheWrapOfNegatives) {
  struct Case {
    int32_t value;
    RegTextForm form;
    bool wrap;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {0, kFormBinary, false, "0000_0000_0000_0000"},
      {65535, kFormBinary, false, "1111_1111_1111_1111"},
      {0x399F, kFormBinary, false, "0011_1001_1001_1111"},
      {0x8000, kFormBinary, false, "1000_0000_0000_0000"},
      {0xFF, kFormHex, false, "00FF"}, {0x399F, kFormHex, false, "399F"},
      {65536, kFormHex, false, ""}, {-1, kFormHex, false, ""},
      {-1, kFormHex, true, "FFFF"}, {-65537, kFormHex, true, ""},
      {-1, kFormDecimal, true, "-1"}, {40960, kFormDecimal, false, "40960"},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(FormatRegText(c.value, c.form, c.wrap), c.text)
        << c.value << " form " << c.form << " wrap " << c.wrap;
  }
  EXPECT_EQ(BinaryDigits(6), "0110") << "always a leading zero";
  EXPECT_EQ(BinaryGroups(65535), "1111_1111_1111_1111") << "17 digits cut to the last 16";
}

TEST(ScaleReg, UnitsAndSignRulesOfTheMeasurementRegisters) {
  struct Case {
    const char* name;
    int reg;
    int32_t value;
    double currentLsb, powerLsb;
    double scaled;
  };
  const Case cases[] = {
      {"shunt most negative", 1, 0x8000, 0, 0, -0.32768},
      {"shunt most positive", 1, 0x7FFF, 0, 0, 0.32767},
      {"shunt minus one", 1, 0xFFFF, 0, 0, -0.00001},
      {"bus drops the three low bits", 2, 0x0FA7, 0, 0, 2.0},
      {"bus top bit is not a sign", 2, 0xFFF8, 0, 0, 8191 * 0.004},
      {"power is unsigned", 3, 0xFFFF, 0, 0.002, 65535 * 0.002},
      {"current is signed", 4, 0xFFFF, 0.0001, 0, -0.0001},
      {"current before calibration", 4, 0x1234, 0, 0, 0},
      {"power before calibration", 3, 0x1234, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegisterStore store;
    store.CurrentLsb = c.currentLsb;
    store.PowerLsb = c.powerLsb;
    store.RegValue[static_cast<size_t>(c.reg)] = c.value;
    ScaleReg(store, c.reg);
    EXPECT_NEAR(store.RegScaled[static_cast<size_t>(c.reg)], c.scaled, 1e-12);
  }

  RegisterStore store;
  store.RegValue[0] = store.RegValue[5] = 0x1000;
  store.RegScaled[0] = store.RegScaled[5] = 7;
  for (int n : {0, 5, 6, 7, -1, 51}) ScaleReg(store, n);
  EXPECT_EQ(store.RegScaled[0], 7) << "registers without a unit are left alone";
  EXPECT_EQ(store.RegScaled[5], 7);
}

TEST(UpdateRangeBits, AttenuatorAndBusRangeRenameTheMeasurementBits) {
  struct Case {
    int32_t config;
    int divider;
    double maxShunt;
    int busFullScale;
    int signBits;  // of register 01h
  };
  const Case cases[] = {
      {0x399F, 8, 0.32, 32, 4},
      {0x019F, 1, 0.04, 16, 1},
      {0x0800, 2, 0.08, 16, 2},
      {0x3000, 4, 0.16, 32, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config);
    RegisterStore store;
    BuildRegTables(store);
    store.RegValue[0] = c.config;
    UpdateRangeBits(store, 0);
    EXPECT_EQ(store.PgaDivider, c.divider);
    EXPECT_EQ(store.MaxShuntVoltage, c.maxShunt);
    EXPECT_EQ(store.BusFullScale, c.busFullScale);

    const BitNameList& shunt = store.RegBitNames[1];
    std::string shuntLegend;
    for (int bit = 15; bit >= 0; --bit) {
      const bool sign = bit >= 16 - c.signBits;
      const std::string name = sign ? "Sign bit" : "SD" + std::to_string(bit);
      EXPECT_EQ(shunt[static_cast<size_t>(15 - bit)], name) << "bit " << bit;
      shuntLegend += sign ? name + "\r\n" : name + ": Shunt Voltage bit\r\n";
    }
    EXPECT_EQ(store.RegLegend[1], shuntLegend);

    EXPECT_EQ(store.RegBitNames[2][0], c.busFullScale == 32 ? "BD13" : "RFB");
  }

  RegisterStore store;
  BuildRegTables(store);
  store.RegValue[0] = 0x399F;
  for (int n : {1, 2, 5}) UpdateRangeBits(store, n);
  EXPECT_EQ(store.RegBitNames[1][0], "D15") << "only a write of 00h renames";
  EXPECT_EQ(store.PgaDivider, 1);
}

}  // namespace
}  // namespace evm
