// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_display.h"
#include "registers/register_map.h"

#include <gtest/gtest.h>

#include "registers/register_fixture.h"

namespace evm {
namespace {

using test::RegContext;

TEST(BitEditor, BitBoxTogglesWritableRegistersOnly) {
  RegContext c;
  ASSERT_EQ(c.Panel().CurReg, 0);
  txtBit_Click(c.evm, 15);
  EXPECT_EQ(c.Store().RegValue[0], 0x8000);
  EXPECT_EQ(c.Panel().txtBit[15], "1");
  EXPECT_EQ(c.Panel().txtReg, "8000");
  EXPECT_EQ(c.Cell(1, 3), "1000_0000_0000_0000");
  txtBit_Click(c.evm, 15);
  EXPECT_EQ(c.Store().RegValue[0], 0);
  EXPECT_EQ(c.Cell(1, 1), " ***  Config *** ") << "the flag stays until written";

  gridReg_RowColChange(c.evm, 2, 1);  // 01h, read-only
  EXPECT_TRUE(c.Panel().bitMapReadOnly);
  txtBit_Click(c.evm, 3);
  EXPECT_EQ(c.Store().RegValue[1], 0);
  EXPECT_EQ(c.Cell(2, 1), " Shunt Voltage");

  gridReg_RowColChange(c.evm, 6, 1);  // 05h
  EXPECT_FALSE(c.Panel().bitMapReadOnly);
  txtBit_Click(c.evm, 0);
  EXPECT_EQ(c.Store().RegValue[5], 1);
  EXPECT_EQ(c.Panel().lblBit[0], "FS0") << "the labels follow the row";
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
    RefreshRegDisplay(c.evm);
    txtReg_Validate(c.evm, k.typed);
    const int expected = k.stored < 0 ? 0x0ABC : k.stored;
    EXPECT_EQ(c.Store().RegValue[0], expected);
    EXPECT_EQ(c.Panel().txtReg, FormatRegText(expected, kFormHex, false));
    EXPECT_EQ(c.Cell(1, 2), "0x" + FormatRegText(expected, kFormHex, false));
    if (k.message) {
      ASSERT_EQ(c.ui.messages.size(), 1u);
      EXPECT_EQ(c.ui.messages[0].text, k.message);
    } else {
      EXPECT_TRUE(c.ui.messages.empty());
    }
  }
}

TEST(BitEditor, UpDownStepsAndBeepsAtTheEnds) {
  RegContext c;
  gridReg_RowColChange(c.evm, 6, 2);
  updwnReg_DownClick(c.evm);
  EXPECT_EQ(c.ui.beeps, 1);
  EXPECT_EQ(c.Store().RegValue[5], 0);
  updwnReg_UpClick(c.evm);
  EXPECT_EQ(c.Store().RegValue[5], 1);
  c.Store().RegValue[5] = 65535;
  updwnReg_UpClick(c.evm);
  EXPECT_EQ(c.ui.beeps, 2);
  EXPECT_EQ(c.Store().RegValue[5], 65535);
  updwnReg_DownClick(c.evm);
  EXPECT_EQ(c.Store().RegValue[5], 65534);
  EXPECT_EQ(c.Panel().txtReg, "FFFE");
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
    RefreshRegDisplay(c.evm);
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

    gridReg_RowColChange(c.evm, 4, 3);
    EXPECT_EQ(p.txtCurrent_Decmal, std::string("0") + sep + "512");
    gridReg_RowColChange(c.evm, 1, 3);
    EXPECT_EQ(p.txtCurrent_Decmal, "0");
  }
}

TEST(RegisterGrid, SelectionHighlightsTheCurrentRowAndTheHeaderSelectsRow1) {
  RegContext c;
  const GridModel& g = c.Panel().gridReg;
  EXPECT_EQ(g.Back(1, 2), kHighlightColour) << "the load highlights the first row";
  gridReg_RowColChange(c.evm, 4, 1);
  EXPECT_EQ(c.Panel().CurReg, 3);
  EXPECT_EQ(g.Col, 2);
  EXPECT_EQ(g.ColSel, 4);
  for (int col = 2; col <= 4; ++col) {
    EXPECT_EQ(g.Back(4, col), kHighlightColour) << col;
    EXPECT_EQ(g.Back(1, col), kDefaultColour) << col;
  }
  EXPECT_EQ(c.Panel().lblLegend.rfind("PD15: \r\n", 0), 0u);

  gridReg_RowColChange(c.evm, 0, 2);
  EXPECT_EQ(g.Row, 1);
  EXPECT_EQ(c.Panel().CurReg, 0);
  EXPECT_EQ(g.Back(1, 3), kHighlightColour);
  EXPECT_EQ(g.Back(4, 3), kDefaultColour);
}

}  // namespace
}  // namespace evm
