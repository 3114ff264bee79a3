// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_display.h"
#include "registers/register_map.h"

#include <gtest/gtest.h>

#include "registers/register_fixture.h"

namespace evm {
namespace {

using test::RegContext;

TEST(BitEditor, BitBoxTogglesWritableRegistersOnlyAndUpDownBeepsAtTheEnds) {
  RegContext c;
  ASSERT_EQ(c.Panel().CurReg, 0);
  txtBit_Click(c.evm, c.panels, 15);
  EXPECT_EQ(c.Store().RegValue[0], 0x8000);
  EXPECT_EQ(c.Panel().txtBit[15], "1");
  EXPECT_EQ(c.Panel().txtReg, "8000");
  EXPECT_EQ(c.Cell(1, 3), "1000_0000_0000_0000");
  txtBit_Click(c.evm, c.panels, 15);
  EXPECT_EQ(c.Store().RegValue[0], 0);
  EXPECT_EQ(c.Cell(1, 1), " ***  Config *** ") << "the flag stays until written";

  gridReg_RowColChange(c.evm, c.panels, 2, 1);  // 01h, read-only
  EXPECT_TRUE(c.Panel().bitMapReadOnly);
  txtBit_Click(c.evm, c.panels, 3);
  EXPECT_EQ(c.Store().RegValue[1], 0);
  EXPECT_EQ(c.Cell(2, 1), " Shunt Voltage");

  gridReg_RowColChange(c.evm, c.panels, 6, 1);  // 05h
  EXPECT_FALSE(c.Panel().bitMapReadOnly);
  txtBit_Click(c.evm, c.panels, 0);
  EXPECT_EQ(c.Store().RegValue[5], 1);
  EXPECT_EQ(c.Panel().lblBit[0], "FS0") << "the labels follow the row";

  RegContext step;
  gridReg_RowColChange(step.evm, step.panels, 6, 2);
  updwnReg_DownClick(step.evm, step.panels);
  EXPECT_EQ(step.ui.beeps, 1);
  EXPECT_EQ(step.Store().RegValue[5], 0);
  updwnReg_UpClick(step.evm, step.panels);
  EXPECT_EQ(step.Store().RegValue[5], 1);
  step.Store().RegValue[5] = 65535;
  updwnReg_UpClick(step.evm, step.panels);
  EXPECT_EQ(step.ui.beeps, 2);
  EXPECT_EQ(step.Store().RegValue[5], 65535);
  updwnReg_DownClick(step.evm, step.panels);
  EXPECT_EQ(step.Store().RegValue[5], 65534);
  EXPECT_EQ(step.Panel().txtReg, "FFFE");
}

TEST(BitEditor, HexEntryAcceptsOnly16BitHexNumbers) {
  struct Case {
    const char* typed;
    int stored;           // -1: the old value stays
    const char* message;  // nullptr: none
  };
  const char* bad = kNotValidHexMessage;
  const char* large = kLargerThan16BitsMessage;
  const Case cases[] = {
      {"ffff", 0xFFFF, nullptr}, {"1a2B", 0x1A2B, nullptr},
      {" 12 ", 0x12, nullptr},   {"0000000000FF", 0xFF, nullptr},
      {"0", 0, nullptr},         {"10000", -1, large},
      {"FFFFFFFF", -1, large},   {"000FFFFFFFF", -1, large},
      {"123456789", -1, bad},    {"FFFFFFFFFFFFFFFFFFFFFFFF", -1, bad},
      {"xyz", -1, bad},          {"", -1, bad},
      {"   ", -1, bad},          {"-1", -1, bad},
      {"+1", -1, bad},           {"&H12", -1, bad},
      {"1 2", -1, bad},          {"12g", -1, bad},
      {"0x12", -1, bad},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.typed);
    RegContext c;
    c.Store().RegValue[0] = 0x0ABC;
    RefreshRegDisplay(c.evm, c.panels);
    txtReg_Validate(c.evm, c.panels, k.typed);
    const int expected = k.stored < 0 ? 0x0ABC : k.stored;
    EXPECT_EQ(c.Store().RegValue[0], expected);
    EXPECT_EQ(c.Panel().txtReg, FormatRegText(expected, kFormHex, false));
    if (k.message) {
      ASSERT_EQ(c.ui.messages.size(), 1u);
      EXPECT_EQ(c.ui.messages[0].text, k.message);
    } else {
      EXPECT_TRUE(c.ui.messages.empty());
    }
  }
}

TEST(RegisterGrid, ScaledCellsAndValueBoxesInBothLocales) {
  for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    RegContext c(locale);
    const char sep = locale.decimalSeparator;
    c.Store().RegValue[1] = 1;       // 10 uV
    c.Store().RegValue[2] = 0x0FA0;  // 2 V
    c.Store().RegValue[3] = 0x0100;
    c.Store().RegValue[4] = 0xFFFE;
    c.Store().RegValue[5] = 40960;
    c.Store().PowerLsb = 0.002;
    c.Store().CurrentLsb = 0.0001;
    RefreshRegDisplay(c.evm, c.panels);
    EXPECT_EQ(c.Cell(2, 4), "1E-05");
    EXPECT_EQ(c.Cell(4, 4), std::string("0") + sep + "512");
    EXPECT_EQ(c.Cell(5, 4), std::string("-0") + sep + "0002");
    EXPECT_EQ(c.Cell(6, 4), "");
    const RegisterPanel& p = c.Panel();
    EXPECT_EQ(p.txtShunt[5], "1");
    EXPECT_EQ(p.txtVbus[6], "4000");
    EXPECT_EQ(p.txtPower[3], "256");
    EXPECT_EQ(p.cmd_I_shunt, std::string("-0") + sep + "0002");
    EXPECT_EQ(p.txtCurrent2, "65534");

    gridReg_RowColChange(c.evm, c.panels, 4, 3);
    EXPECT_EQ(p.txtCurrent_Decmal, std::string("0") + sep + "512");
    gridReg_RowColChange(c.evm, c.panels, 1, 3);
    EXPECT_EQ(p.txtCurrent_Decmal, "0");
  }
}

TEST(RegisterGrid, SelectionHighlightsTheCurrentRowAndTheHeaderSelectsRow1) {
  RegContext c;
  const GridModel& g = c.Panel().gridReg;
  EXPECT_EQ(g.Back(1, 2), kHighlightColour) << "the load highlights the first row";
  gridReg_RowColChange(c.evm, c.panels, 4, 1);
  EXPECT_EQ(c.Panel().CurReg, 3);
  EXPECT_EQ(g.Col, 2);
  EXPECT_EQ(g.ColSel, 4);
  for (int col = 2; col <= 4; ++col) {
    EXPECT_EQ(g.Back(4, col), kHighlightColour) << col;
    EXPECT_EQ(g.Back(1, col), kDefaultColour) << col;
  }
  EXPECT_EQ(c.Panel().lblLegend.rfind("PD15: \r\n", 0), 0u);

  gridReg_RowColChange(c.evm, c.panels, 0, 2);
  EXPECT_EQ(g.Row, 1);
  EXPECT_EQ(c.Panel().CurReg, 0);
  EXPECT_EQ(g.Back(1, 3), kHighlightColour);
  EXPECT_EQ(g.Back(4, 3), kDefaultColour);
}

TEST(FormatRegText, FormsRangesAndTheWrapOfNegatives) {
  struct Case {
    int32_t value;
    RegTextForm form;
    bool wrap;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {0, kFormBinary, false, "0000_0000_0000_0000"}, {65535, kFormBinary, false, "1111_1111_1111_1111"},
      {0xFF, kFormHex, false, "00FF"},   {65536, kFormHex, false, ""},  {-1, kFormHex, false, ""},
      {-1, kFormHex, true, "FFFF"},      {-65537, kFormHex, true, ""},  {-1, kFormDecimal, true, "-1"},
      {40960, kFormDecimal, false, "40960"},
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

    // The top bits of 01h repeat the sign; the others count down to SD0.
    const std::string firstValueBit = "SD" + std::to_string(15 - c.signBits);
    const BitNameList& shunt = store.RegBitNames[1];
    EXPECT_EQ(shunt[static_cast<size_t>(c.signBits) - 1], "Sign bit");
    EXPECT_EQ(shunt[static_cast<size_t>(c.signBits)], firstValueBit);
    EXPECT_EQ(shunt[15], "SD0");
    std::string legend;
    for (int bit = 0; bit < c.signBits; ++bit) legend += "Sign bit\r\n";
    legend += firstValueBit + ": Shunt Voltage bit\r\n";
    EXPECT_EQ(store.RegLegend[1].rfind(legend, 0), 0u) << store.RegLegend[1];
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
