// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_cycle.h"

#include <gtest/gtest.h>

#include "registers/config_controls.h"
#include "registers/register_display.h"
#include "registers/register_fixture.h"

namespace evm {
namespace {

using test::RegContext;
using Writes = std::vector<std::pair<int, int>>;

const char* kConfigMarked = " ***  Config *** ";

TEST(RegisterCycle, EditedBookkeepingThroughReadConfigChangeAndWrite) {
  RegContext c;
  ReadAllRegs(c.evm);
  EXPECT_EQ(c.Reads(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(c.clock.ElapsedMs(), 6 * 100) << "100 ms settle before each read";
  EXPECT_NEAR(c.Store().RegScaled[2], 12.0, 0.01);
  EXPECT_EQ(c.Cell(1, 2), "0x399F");
  EXPECT_EQ(c.Cell(1, 1), " Config") << "no marks shown";
  // The values differ from the zeros shown before, so they stay flagged.
  EXPECT_TRUE(c.Store().RegEdited[2]);
  EXPECT_FALSE(c.Store().RegEdited[5]) << "calibration 0 on both sides";
  WriteAllEdited(c.evm);
  // Flags from the first read include the read-only measurement registers.
  const Writes afterRead = c.Writes();
  ASSERT_GE(afterRead.size(), 2u);
  EXPECT_EQ(afterRead[0], std::make_pair(0, 0x399F));
  EXPECT_EQ(afterRead[1].first, 1);
  for (int i = 0; i <= 5; ++i) EXPECT_FALSE(c.Store().RegEdited[static_cast<size_t>(i)]);

  c.Device().SetRegisterForTest(5, 0);
  ConfigListChosen(c.evm, ConfigList::ShuntResolution, 11);
  EXPECT_EQ(c.Store().RegValue[0], 0x39FF);
  EXPECT_EQ(c.Cell(1, 1), kConfigMarked);

  // A calibration value changed afterwards goes after the configuration.
  c.Store().RegValue[5] = 0xA000;
  RefreshRegDisplay(c.evm);

  const size_t before = c.Writes().size();
  WriteAllEdited(c.evm);
  const Writes all = c.Writes();
  EXPECT_EQ(Writes(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            (Writes{{0, 0x39FF}, {5, 0xA000}}));
  EXPECT_EQ(c.Cell(6, 1), " Full Scale Cal");
  EXPECT_EQ(c.Store().RegBitNames[1][3], "Sign bit") << "bit names follow the written config";

  ReadAllRegs(c.evm);
  EXPECT_EQ(c.Device().Register(0), 0x39FF);
  EXPECT_EQ(c.Store().RegValue[0], 0x39FF);
  EXPECT_EQ(c.Store().RegValue[5], 0xA000);
}

TEST(EngineeringMode, TheTrimRegistersAreShownReadAndWrittenUntilItIsLeft) {
  RegContext c;
  mnuEngineeringMode_Click(c.evm);
  EXPECT_EQ(c.Panel().gridReg.Rows(), 9);
  EXPECT_EQ(c.Store().LastReg, 7);
  EXPECT_EQ(c.Cell(8, 0), "07h");
  gridReg_RowColChange(c.evm, 8, 2);
  EXPECT_TRUE(c.Panel().bitMapReadOnly);
  gridReg_RowColChange(c.evm, 7, 2);
  EXPECT_FALSE(c.Panel().bitMapReadOnly);
  txtBit_Click(c.evm, 2);
  EXPECT_EQ(c.Cell(7, 1), " ***  Trim control/test  *** ");

  ReadAllRegs(c.evm);
  EXPECT_EQ(c.Reads(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  c.Store().RegEdited.fill(false);
  c.Store().RegValue[6] = 0x0042;
  c.Store().RegValue[7] = 0x0001;
  RefreshRegDisplay(c.evm);
  WriteAllEdited(c.evm);
  EXPECT_EQ(c.Writes(), (Writes{{6, 0x42}, {7, 1}}));

  gridReg_RowColChange(c.evm, 8, 2);
  mnuEngineeringMode_Click(c.evm);
  EXPECT_EQ(c.Panel().gridReg.Rows(), 7);
  EXPECT_EQ(c.Store().LastReg, 5);
  EXPECT_EQ(c.Panel().CurReg, 5) << "the current row moved to the last one left";
  EXPECT_EQ(c.Panel().gridReg.Back(6, 2), kHighlightColour);
  c.Store().RegValue[6] = 0x0043;
  RefreshRegDisplay(c.evm);
  WriteAllEdited(c.evm);
  EXPECT_EQ(c.Writes().size(), 2u) << "outside engineering mode 06h is neither flagged nor written";
}

TEST(RegisterCycle, WriteCurrentRegWritesOnlyItAndKeepsItsMark) {
  RegContext c;
  gridReg_RowColChange(c.evm, 6, 1);
  ASSERT_EQ(c.Panel().CurReg, 5);
  c.Store().RegValue[5] = 0x1000;
  c.Store().RegValue[0] = 0x019F;
  RefreshRegDisplay(c.evm);
  WriteCurrentReg(c.evm);
  EXPECT_EQ(c.Writes(), (Writes{{5, 0x1000}}));
  EXPECT_EQ(c.Device().Register(5), 0x1000);
  EXPECT_TRUE(c.Store().RegEdited[5]);
  EXPECT_EQ(c.Cell(6, 1), " ***  Full Scale Cal *** ");
}

TEST(RegisterCycle, UnacknowledgedReadKeepsTheValueAndShowsTheIndicator) {
  RegContext c;
  ReadAllRegs(c.evm);
  WriteAllEdited(c.evm);
  const auto values = c.Store().RegValue;
  const size_t writes = c.Writes().size();

  c.Board().forcedStatus = 1;
  c.Device().SetRegisterForTest(5, 0x7777);
  ReadAllRegs(c.evm);
  EXPECT_TRUE(c.Panel().txtDutNotAckVisible);
  EXPECT_EQ(c.Store().RegValue, values) << "no register takes the stale bytes of another";
  for (int i = 0; i <= 5; ++i) EXPECT_FALSE(c.Store().RegEdited[static_cast<size_t>(i)]) << i;
  WriteAllEdited(c.evm);
  EXPECT_EQ(c.Writes().size(), writes) << "nothing to send after a failed pass";

  c.Board().forcedStatus = 0;
  ReadAllRegs(c.evm);
  EXPECT_FALSE(c.Panel().txtDutNotAckVisible) << "the next good pass hides it";
  EXPECT_EQ(c.Store().RegValue[5], 0x7777);
}

TEST(RegisterCycle, FailedWriteKeepsFlagAndMarkAndIsNeverReportedDone) {
  RegContext c;
  c.Store().RegValue[0] = 0x019F;
  c.Store().RegValue[5] = 0x1000;
  RefreshRegDisplay(c.evm);
  const BitNameList shuntBits = c.Store().RegBitNames[1];

  // A report that never leaves, and one the board takes but never answers.
  for (auto fault : {&sim::SimDevice::writeFails, &sim::SimDevice::noReply}) {
    c.Board().*fault = true;
    WriteAllEdited(c.evm);
    c.Board().*fault = false;
    EXPECT_TRUE(c.Store().RegEdited[0]);
    EXPECT_TRUE(c.Store().RegEdited[5]);
    EXPECT_EQ(c.Cell(1, 1), kConfigMarked);
    EXPECT_EQ(c.Cell(6, 1), " ***  Full Scale Cal *** ");
    EXPECT_TRUE(c.Panel().txtDutNotAckVisible);
    EXPECT_EQ(c.Store().RegBitNames[1], shuntBits) << "no acknowledged range change";
  }

  WriteAllEdited(c.evm);
  EXPECT_FALSE(c.Store().RegEdited[0]);
  EXPECT_FALSE(c.Store().RegEdited[5]);
  EXPECT_EQ(c.Cell(1, 1), " Config");
  EXPECT_FALSE(c.Panel().txtDutNotAckVisible);
  EXPECT_EQ(c.Device().Register(5), 0x1000);
  EXPECT_EQ(c.Store().RegBitNames[1][1], "SD14");

  gridReg_RowColChange(c.evm, 6, 2);
  c.Board().writeFails = true;
  WriteCurrentReg(c.evm);
  EXPECT_TRUE(c.Panel().txtDutNotAckVisible);
}

TEST(InitRegisters, StartsAtAddress40AndSendsNothingBeforeTheFirstActivation) {
  RegContext c;
  EXPECT_EQ(c.Store().DeviceAddress, 0x40);
  EXPECT_EQ(c.Panel().txtAddress, "40");
  EXPECT_EQ(c.Cell(1, 2), "0x0000");
  EXPECT_TRUE(c.Board().Requests().empty());
}

}  // namespace
}  // namespace evm
