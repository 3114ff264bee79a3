// SPDX-License-Identifier: GPL-3.0-or-later
// The test board's windows as panels: Eval Control, the control and measure
// bits, and the raw-command window's file.
#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "support/sim_fixture.h"
#include "testboard/cm_bits_panel.h"
#include "testboard/dut_writer_panel.h"
#include "testboard/eval_control_panel.h"

namespace evm {
namespace {

using Bench = test::InterfaceContext;

struct Eval : test::InterfaceContext {
  using InterfaceContext::InterfaceContext;
  EvalControlPanel panel;
};

TEST(EvalControl, LoopConnectAndDisconnectSendInOrder) {
  Eval c;
  EvalMuxClick(c.evm, c.panel, kCnv2Plus, MuxInput::Dac);   // Option11
  EvalMuxClick(c.evm, c.panel, kCnv2Minus, MuxInput::Gnd);  // Option15
  const size_t before = c.Interface().Reports().size();
  EvalLoopCheckClick(c.evm, c.panel, true);
  // CNV2+ open, CNV2- ground, then the loop: MuxState 0x10|0x40 -> 0x40 -> 0x40.
  EXPECT_EQ(c.Sent(before), (std::vector<std::string>{"4 5 40", "4 5 40", "4 9 0"}));
  EXPECT_FALSE(c.panel.cnv2ChoicesEnabled);
  EXPECT_TRUE(c.panel.loopReadEnabled);

  const size_t connected = c.Interface().Reports().size();
  EvalLoopCheckClick(c.evm, c.panel, false);
  EXPECT_EQ(c.Sent(connected), (std::vector<std::string>{"4 5 40", "4 9 1", "4 5 50", "4 5 50"}));
  EXPECT_TRUE(c.panel.cnv2ChoicesEnabled);
  EXPECT_FALSE(c.panel.loopReadEnabled);

  Eval none;
  EvalLoopCheckClick(none.evm, none.panel, true);
  const size_t on = none.Interface().Reports().size();
  EvalLoopCheckClick(none.evm, none.panel, false);
  EXPECT_EQ(none.Sent(on).size(), 2u) << "no CNV2 choice: nothing to restore";
}

TEST(EvalControl, ReferenceOptionsSetModeAndVoltageAndTheUnloadWritesThem) {
  Eval c;
  EvalReferenceClick(c.evm, c.panel, Reference::Factory3V);
  EXPECT_EQ(c.evm.calBoard().RefMode, Reference::Factory3V);
  EXPECT_EQ(c.panel.Text5, "3");
  EvalReferenceClick(c.evm, c.panel, Reference::DigitalCodes);
  EXPECT_EQ(c.evm.calBoard().RefMode, Reference::DigitalCodes);
  EXPECT_EQ(c.panel.Text5, "3") << "digital codes keep the reference";
  EXPECT_EQ(c.evm.calBoard().VrefVolts, 3);

  c.ui.inputAnswers = {std::string("2.5")};
  EvalReferenceClick(c.evm, c.panel, Reference::User);
  EXPECT_EQ(c.ui.inputPrompts.back(), "Enter reference value.");
  EXPECT_EQ(c.evm.calBoard().VrefVolts, 2.5);
  EXPECT_EQ(c.panel.Text5, "2.5");

  c.ui.inputAnswers = {std::nullopt};
  EvalReferenceClick(c.evm, c.panel, Reference::User);
  EXPECT_EQ(c.evm.calBoard().VrefVolts, 2.5) << "a cancelled answer keeps the reference";
  EXPECT_EQ(c.ui.messages.size(), 1u);
  c.ui.inputAnswers = {std::string("-1")};
  EvalReferenceClick(c.evm, c.panel, Reference::User);
  EXPECT_EQ(c.evm.calBoard().VrefVolts, 2.5);
  ASSERT_TRUE(EvalControlUnload(c.evm, c.panel));
  EXPECT_EQ(*ReadWholeFile(c.evm.StateFile("ControlEVM_Settings.csv")), "2.5\r\n3\r\n");
  c.panel.Text5 = "500m";
  ASSERT_TRUE(EvalControlUnload(c.evm, c.panel));
  EXPECT_EQ(*ReadWholeFile(c.evm.StateFile("ControlEVM_Settings.csv")), ".5\r\n3\r\n");

  Eval comma(NumberLocale::Comma());
  comma.ui.inputAnswers = {std::string("2,5")};
  EvalReferenceClick(comma.evm, comma.panel, Reference::User);
  EXPECT_EQ(comma.evm.calBoard().VrefVolts, 2.5);
  EXPECT_EQ(comma.panel.Text5, "2,5");
}

TEST(EvalControl, DacBoxesTakeTheirLeadingNumber) {
  const std::pair<const char*, double> cases[] = {
      {"1.25V", 1.25},   {"abc", 0},   {"", 0},      {" -2.5e1x", -25},
      {"2Elephants", 2}, {".5", 0.5},  {"3.", 3},    {"+4", 4},
      {"1,5", 1.5},      {"0,5", 0.5}, {"2.5", 2.5}, {"1,5,7", 1.5},
  };
  for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(LeadingNumber(text), value) << text;

  Eval c;
  EvalReferenceClick(c.evm, c.panel, Reference::Factory5V);
  c.panel.dacText[1] = "1.25V";
  EvalWriteDacClick(c.evm, c.panel, DacChannel::B);
  EXPECT_EQ(c.sim->TestBoard().dacCode[1], CalibrationBoard::DacCode(1.25, 5));
  // The same texts write the same volts in either locale.
  Eval comma(NumberLocale::Comma());
  for (Eval* e : {&c, &comma}) {
    EvalReferenceClick(e->evm, e->panel, Reference::Factory5V);
    for (const auto& [text, volts] : {std::pair{"1,5", 1.5}, {"0,5", 0.5}, {"2.5", 2.5}}) {
      e->panel.dacText[2] = text;
      EvalWriteDacClick(e->evm, e->panel, DacChannel::C);
      EXPECT_EQ(e->sim->TestBoard().dacCode[2], CalibrationBoard::DacCode(volts, 5)) << text;
    }
  }
  c.panel.dacText[3] = "none";
  EvalWriteDacClick(c.evm, c.panel, DacChannel::D);
  ASSERT_EQ(c.ui.messages.size(), 1u) << "0 V is below the range";
}

TEST(EvalControl, ReadsShowFourDecimalsAndTheLoopInMilliamperes) {
  Eval c;
  // Before any reference is chosen a read passes mode 0.
  c.sim->TestBoard().openPlusVolts = 1.0;
  c.sim->TestBoard().openMinusVolts = 0;
  EvalReadCnvClick(c.evm, c.panel, Converter::Cnv1);
  EXPECT_NEAR(std::stod(c.panel.Text10), 1.0, 0.001);
  EvalReferenceClick(c.evm, c.panel, Reference::Factory5V);
  c.evm.calBoard().SetCnvMux(Converter::Cnv1, MuxInput::Dac, MuxInput::Gnd);
  c.panel.chkDAC_AutoCal = true;
  EvalAutoCalClick(c.evm, c.panel, true);
  EXPECT_TRUE(c.evm.calBoard().DacAutoCal);
  c.panel.dacText[1] = "2.5";
  EvalWriteDacClick(c.evm, c.panel, DacChannel::B);
  EvalReadCnvClick(c.evm, c.panel, Converter::Cnv1);
  EXPECT_EQ(c.panel.Text10, "2.5") << "#.#### drops trailing zeros";
  EXPECT_NEAR(std::stod(c.panel.Text10), 2.5, 0.001);

  EvalLoopCheckClick(c.evm, c.panel, true);
  EvalReadLoopClick(c.evm, c.panel);
  EXPECT_NEAR(std::stod(c.panel.txt_I_Loop), 12.5, 0.2);

  EvalReferenceClick(c.evm, c.panel, Reference::DigitalCodes);
  EvalReadLoopClick(c.evm, c.panel);
  EXPECT_EQ(c.panel.txt_I_Loop, "");
}

TEST(EvalControl, WithoutUsbNothingReadShowsEmptyAndTheSupplyCaptionStays) {
  Eval c;
  EvalReferenceClick(c.evm, c.panel, Reference::Factory5V);
  EvalLoopCheckClick(c.evm, c.panel, true);
  for (const bool offline : {false, true}) {
    c.evm.shell().RunWithoutUsb = offline;
    const std::string before = c.panel.Command3;
    EvalSupplyClick(c.evm, c.panel);
    EXPECT_EQ(c.panel.Command3 == before, offline) << "changes only when sent";
    EvalReadCnvClick(c.evm, c.panel, Converter::Cnv1);
    EvalReadCnvClick(c.evm, c.panel, Converter::Cnv2);
    EvalReadLoopClick(c.evm, c.panel);
    for (const std::string* reading : {&c.panel.Text10, &c.panel.Text11, &c.panel.txt_I_Loop}) {
      EXPECT_EQ(reading->empty(), offline) << *reading;
    }
  }
  EXPECT_TRUE(c.sim->Supply().on);
}

TEST(ControlBits, BoxesMakeTheByteWrittenAndShown) {
  const struct {
    std::vector<int> ones;
    const char* hex;
  } cases[] = {
      {{0, 2, 5, 7}, "A5"}, {{}, "0"}, {{0}, "1"}, {{7}, "80"}, {{0, 1, 2, 3, 4, 5, 6, 7}, "FF"}};
  for (const auto& t : cases) {
    Bench c;
    CMBitsPanel panel;
    for (int bit : t.ones) ToggleControlBit(panel, bit);
    WriteControlBits(c.evm, panel);
    EXPECT_EQ(panel.Text2, t.hex);
    EXPECT_EQ(c.evm.dutWriter().MnemonicWords[2], t.hex) << "sent as CMD CTRL " << t.hex;
    EXPECT_EQ(c.Interface().controlBits, std::stoi(t.hex, nullptr, 16));
  }
  // A box showing anything but " 0" toggles to " 0".
  CMBitsPanel panel;
  panel.Text1[4] = "junk";
  ToggleControlBit(panel, 4);
  EXPECT_EQ(panel.Text1[4], " 0");
}

TEST(MeasureBits, ShowTheByteAndEachBit) {
  Bench c;
  CMBitsPanel panel;
  c.Interface().measureInputs = 0x81;
  ReadMeasureBits(c.evm, panel);
  EXPECT_EQ(panel.Text6, "81");
  const std::array<std::string, 8> bits{"1", "0", "0", "0", "0", "0", "0", "1"};
  EXPECT_EQ(panel.Text5, bits);

  Bench offline;
  offline.evm.shell().RunWithoutUsb = true;
  ReadMeasureBits(offline.evm, panel);
  EXPECT_EQ(panel.Text6, "0");
  for (const auto& bit : panel.Text5) EXPECT_EQ(bit, "0");
}

TEST(DutWriterFile, RoundTripsTheFiveTextsAndAMissingOrShortFileKeepsTheInitialOnes) {
  test::TempDir dir;
  const auto file = dir.path() / kDutWriterFileName;
  DutWriterPanel panel;
  panel.txtCmdString[4] = "CMD MUX 81";
  ASSERT_TRUE(SaveDutWriterFile(panel, file));
  EXPECT_EQ(*ReadWholeFile(file),
            "\"CMD ON\"\r\n\"CMD OFF\"\r\n\"I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P \"\r\n"
            "\"\"\r\n\"CMD MUX 81\"\r\n");
  DutWriterPanel reloaded;
  test::RecordingUi ui;
  LoadDutWriterFile(reloaded, file, ui);
  EXPECT_EQ(reloaded.txtCmdString, panel.txtCmdString);

  const DutWriterPanel initial;
  DutWriterPanel fresh;
  LoadDutWriterFile(fresh, dir.path() / "missing.csv", ui);
  EXPECT_EQ(fresh.txtCmdString, initial.txtCmdString);
  ASSERT_TRUE(WriteFileAtomically(file, "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n"));
  LoadDutWriterFile(fresh, file, ui);
  EXPECT_EQ(fresh.txtCmdString, initial.txtCmdString);
  EXPECT_TRUE(ui.messages.empty());

  // A folder in its place is named, not thrown past the window.
  LoadDutWriterFile(fresh, dir.path(), ui);
  EXPECT_EQ(ui.messages.at(0).text,
            UnreadableFileMessage(dir.path(), std::make_error_code(std::errc::is_a_directory)));
}

}  // namespace
}  // namespace evm
