// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "common/atomic_file.h"
#include "support/sim_fixture.h"
#include "testboard/cm_bits_panel.h"
#include "testboard/dut_writer_panel.h"

namespace evm {
namespace {

struct Bench : test::SimContext {
  Bench() { evm.shell.UsbAddress = 0x2F90; }
};

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
    EXPECT_EQ(c.evm.dutWriter.MnemonicWords[2], t.hex) << "sent as CMD CTRL " << t.hex;
    EXPECT_EQ(c.sim->Interface()->controlBits, std::stoi(t.hex, nullptr, 16));
  }
}

TEST(ControlBits, ToggleTurnsAnyOtherTextIntoZero) {
  CMBitsPanel panel;
  ToggleControlBit(panel, 3);
  EXPECT_EQ(panel.Text1[3], " 1");
  ToggleControlBit(panel, 3);
  EXPECT_EQ(panel.Text1[3], " 0");
  panel.Text1[4] = "junk";
  ToggleControlBit(panel, 4);
  EXPECT_EQ(panel.Text1[4], " 0");
}

TEST(MeasureBits, ShowTheByteAndEachBit) {
  Bench c;
  CMBitsPanel panel;
  c.sim->Interface()->measureInputs = 0x81;
  ReadMeasureBits(c.evm, panel);
  EXPECT_EQ(panel.Text6, "81");
  const std::array<std::string, 8> bits{"1", "0", "0", "0", "0", "0", "0", "1"};
  EXPECT_EQ(panel.Text5, bits);

  // The control bits come back through the loop-back once the inputs follow them.
  Bench loop;
  CMBitsPanel written;
  for (int bit : {1, 4, 6}) ToggleControlBit(written, bit);
  WriteControlBits(loop.evm, written);
  ReadMeasureBits(loop.evm, written);
  EXPECT_EQ(written.Text6, "52");
}

TEST(MeasureBits, AReadWithoutReplyShowsZero) {
  Bench c;
  c.evm.shell.RunWithoutUsb = true;
  CMBitsPanel panel;
  ReadMeasureBits(c.evm, panel);
  EXPECT_EQ(panel.Text6, "0");
  for (const auto& bit : panel.Text5) EXPECT_EQ(bit, "0");
}

TEST(DutWriterFile, RoundTripsTheFiveTexts) {
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
}

TEST(DutWriterFile, MissingOrShortFileKeepsTheInitialTexts) {
  test::TempDir dir;
  const auto file = dir.path() / kDutWriterFileName;
  const DutWriterPanel initial;
  DutWriterPanel panel;
  test::RecordingUi ui;
  LoadDutWriterFile(panel, file, ui);
  EXPECT_EQ(panel.txtCmdString, initial.txtCmdString);
  ASSERT_TRUE(WriteFileAtomically(file, "\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n"));
  LoadDutWriterFile(panel, file, ui);
  EXPECT_EQ(panel.txtCmdString, initial.txtCmdString);
  EXPECT_TRUE(ui.messages.empty());

  // A folder in its place is named, not thrown past the window.
  LoadDutWriterFile(panel, dir.path(), ui);
  EXPECT_EQ(ui.messages.at(0).text,
            UnreadableFileMessage(dir.path(), std::make_error_code(std::errc::is_a_directory)));
}

}  // namespace
}  // namespace evm
