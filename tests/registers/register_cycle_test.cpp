// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_cycle.h"

#include <gtest/gtest.h>

#include "registers/config_controls.h"
#include "registers/register_display.h"
#include "registers/register_fixture.h"
#include "registers/register_ops.h"

namespace evm {
namespace {

using test::RegContext;
using Writes = std::vector<std::pair<int, int>>;

const char* kConfigMarked = " ***  Config *** ";

TEST(RegisterCycle, EditedBookkeepingThroughReadConfigChangeAndWrite) {
  RegContext c;
  // Nothing is sent before the first activation; address 40h to begin with.
  EXPECT_EQ(c.Store().DeviceAddress, 0x40);
  EXPECT_EQ(c.Panel().txtAddress, "40");
  EXPECT_EQ(c.Cell(1, 2), "0x0000");
  EXPECT_TRUE(c.Board().Requests().empty());
  ReadAllRegs(c.evm, c.panels);
  EXPECT_EQ(c.Reads(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(c.clock.ElapsedMs(), 6 * (100 + 2)) << "100 ms settle and two USB frames a read";
  EXPECT_NEAR(c.Store().RegScaled[2], 12.0, 0.01);
  EXPECT_EQ(c.Cell(1, 1), " Config") << "no marks shown";
  // The values differ from the zeros shown before, so they stay flagged.
  EXPECT_TRUE(c.Store().RegEdited[2]);
  EXPECT_FALSE(c.Store().RegEdited[5]) << "calibration 0 on both sides";
  WriteAllEdited(c.evm, c.panels);
  // Flags from the first read include the read-only measurement registers.
  const Writes afterRead = c.Writes();
  ASSERT_GE(afterRead.size(), 2u);
  EXPECT_EQ(afterRead[0], std::make_pair(0, 0x399F));
  EXPECT_EQ(afterRead[1].first, 1);
  for (int i = 0; i <= 5; ++i) EXPECT_FALSE(c.Store().RegEdited[static_cast<size_t>(i)]);

  // A calibration value changed after the configuration is written after it.
  c.Store().RegValue[5] = 0xA000;
  ConfigListChosen(c.evm, c.panels, ConfigList::ShuntResolution, 11);
  const size_t before = c.Writes().size();
  WriteAllEdited(c.evm, c.panels);
  const Writes all = c.Writes();
  EXPECT_EQ(Writes(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            (Writes{{0, 0x39FF}, {5, 0xA000}}));
  EXPECT_EQ(c.Cell(6, 1), " Full Scale Cal");
  EXPECT_EQ(c.Store().RegBitNames[1][3], "Sign bit") << "bit names follow the written config";
  EXPECT_EQ(c.Device().Register(0), 0x39FF);
}

TEST(EngineeringMode, TheTrimRegistersAreShownReadAndWrittenUntilItIsLeft) {
  RegContext c;
  mnuEngineeringMode_Click(c.evm, c.panels);
  EXPECT_EQ(c.Panel().gridReg.Rows(), 9);
  EXPECT_EQ(c.Store().LastReg, 7);
  EXPECT_EQ(c.Cell(8, 0), "07h");
  gridReg_RowColChange(c.evm, c.panels, 8, 2);
  EXPECT_TRUE(c.Panel().bitMapReadOnly);
  gridReg_RowColChange(c.evm, c.panels, 7, 2);
  EXPECT_FALSE(c.Panel().bitMapReadOnly);
  txtBit_Click(c.evm, c.panels, 2);
  EXPECT_EQ(c.Cell(7, 1), " ***  Trim control/test  *** ");

  ReadAllRegs(c.evm, c.panels);
  EXPECT_EQ(c.Reads(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  c.Store().RegEdited.fill(false);
  c.Store().RegValue[6] = 0x0042;
  c.Store().RegValue[7] = 0x0001;
  RefreshRegDisplay(c.evm, c.panels);
  WriteAllEdited(c.evm, c.panels);
  EXPECT_EQ(c.Writes(), (Writes{{6, 0x42}, {7, 1}}));

  gridReg_RowColChange(c.evm, c.panels, 8, 2);
  mnuEngineeringMode_Click(c.evm, c.panels);
  EXPECT_EQ(c.Panel().gridReg.Rows(), 7);
  EXPECT_EQ(c.Store().LastReg, 5);
  EXPECT_EQ(c.Panel().CurReg, 5) << "the current row moved to the last one left";
  EXPECT_EQ(c.Panel().gridReg.Back(6, 2), kHighlightColour);
  c.Store().RegValue[6] = 0x0043;
  RefreshRegDisplay(c.evm, c.panels);
  WriteAllEdited(c.evm, c.panels);
  EXPECT_EQ(c.Writes().size(), 2u) << "outside engineering mode 06h is neither flagged nor written";
}

TEST(RegisterCycle, UnacknowledgedReadKeepsTheValueAndShowsTheIndicator) {
  RegContext c;
  ReadAllRegs(c.evm, c.panels);
  WriteAllEdited(c.evm, c.panels);
  const auto values = c.Store().RegValue;
  const size_t writes = c.Writes().size();

  c.Board().forcedStatus = 1;
  c.Device().SetRegisterForTest(5, 0x7777);
  ReadAllRegs(c.evm, c.panels);
  EXPECT_TRUE(c.Panel().txtDutNotAckVisible);
  EXPECT_EQ(c.Store().RegValue, values) << "no register takes the stale bytes of another";
  for (int i = 0; i <= 5; ++i) EXPECT_FALSE(c.Store().RegEdited[static_cast<size_t>(i)]) << i;
  WriteAllEdited(c.evm, c.panels);
  EXPECT_EQ(c.Writes().size(), writes) << "nothing to send after a failed pass";

  c.Board().forcedStatus = 0;
  ReadAllRegs(c.evm, c.panels);
  EXPECT_FALSE(c.Panel().txtDutNotAckVisible) << "the next good pass hides it";
  EXPECT_EQ(c.Store().RegValue[5], 0x7777);
}

TEST(RegisterCycle, FailedWriteKeepsFlagAndMarkAndIsNeverReportedDone) {
  RegContext c;
  c.Store().RegValue[0] = 0x019F;
  c.Store().RegValue[5] = 0x1000;
  RefreshRegDisplay(c.evm, c.panels);
  const BitNameList shuntBits = c.Store().RegBitNames[1];

  // A report that never leaves, and one the board takes but never answers.
  for (auto fault : {&sim::SimDevice::writeFails, &sim::SimDevice::noReply}) {
    c.Board().*fault = true;
    WriteAllEdited(c.evm, c.panels);
    c.Board().*fault = false;
    EXPECT_TRUE(c.Store().RegEdited[0]);
    EXPECT_TRUE(c.Store().RegEdited[5]);
    EXPECT_EQ(c.Cell(1, 1), kConfigMarked);
    EXPECT_EQ(c.Cell(6, 1), " ***  Full Scale Cal *** ");
    EXPECT_TRUE(c.Panel().txtDutNotAckVisible);
    EXPECT_EQ(c.Store().RegBitNames[1], shuntBits) << "no acknowledged range change";
  }

  WriteAllEdited(c.evm, c.panels);
  EXPECT_FALSE(c.Store().RegEdited[0]);
  EXPECT_FALSE(c.Store().RegEdited[5]);
  EXPECT_EQ(c.Cell(1, 1), " Config");
  EXPECT_FALSE(c.Panel().txtDutNotAckVisible);
  EXPECT_EQ(c.Device().Register(5), 0x1000);
  EXPECT_EQ(c.Store().RegBitNames[1][1], "SD14");

  gridReg_RowColChange(c.evm, c.panels, 6, 2);
  c.Board().writeFails = true;
  WriteCurrentReg(c.evm, c.panels);
  EXPECT_TRUE(c.Panel().txtDutNotAckVisible);

  RegContext current;
  gridReg_RowColChange(current.evm, current.panels, 6, 1);
  ASSERT_EQ(current.Panel().CurReg, 5);
  current.Store().RegValue[5] = 0x1000;
  current.Store().RegValue[0] = 0x019F;
  RefreshRegDisplay(current.evm, current.panels);
  WriteCurrentReg(current.evm, current.panels);
  EXPECT_EQ(current.Writes(), (Writes{{5, 0x1000}}));
  EXPECT_EQ(current.Device().Register(5), 0x1000);
  EXPECT_TRUE(current.Store().RegEdited[5]);
  EXPECT_EQ(current.Cell(6, 1), " ***  Full Scale Cal *** ");
}

// The operations evmctl is built on, on the simulated device: 1 A through
// 10 mOhm at 12 V.
TEST(RegisterOps, ReadWriteAndMeasureOnTheSimulatedEvm) {
  struct Case {
    const char* name;
    int address;
    bool plugged;
    int reg;  // written verified
    bool acknowledged, written, matches;
    int64_t passMs;  // the pass ends at the first register not acknowledged
  };
  const Case cases[] = {
      // 100 ms settle and two 1 ms USB frames for each register read.
      {"the device", 0x40, true, 0, true, true, true, 612},
      {"a read-only register keeps its value", 0x40, true, 2, true, true, false, 612},
      {"nobody at 41h", 0x41, true, 0, false, false, false, 102},
      {"board unplugged", 0x40, false, 0, false, false, false, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    test::RegContext c;
    c.Device().load.noise = false;
    c.Board().plugged = k.plugged;
    RegisterLink& link = c.evm.regLink();
    const int64_t start = c.clock.ElapsedMs();
    const RegisterRead read = ReadRegisters(link, k.address, kNormalLastReg);
    EXPECT_EQ(read.AllAcknowledged(), k.acknowledged);
    EXPECT_LE(c.clock.ElapsedMs() - start, k.passMs);
    const Quantities q = Scale(read, Scaling{});
    EXPECT_NEAR(q.shuntVolts, k.acknowledged ? 0.01 : 0, 1e-9);
    EXPECT_NEAR(q.busVolts, k.acknowledged ? 12 : 0, 1e-9);
    const WriteCheck check = WriteRegisterVerified(link, k.address, k.reg, 0x019F);
    EXPECT_EQ(check.written, k.written);
    EXPECT_EQ(check.Matches(), k.matches);
    if (!k.acknowledged) continue;

    // Only what differs is written; then the calibration gives amperes and watts.
    const RegisterRead present = ReadRegisters(link, k.address, kNormalLastReg);
    std::array<int32_t, kDeviceRegs> wanted{};
    std::copy(present.values.begin(), present.values.end(), wanted.begin());
    wanted[5] = 0xA000;
    const size_t before = c.Writes().size();
    EXPECT_TRUE(WriteChangedRegisters(link, present, wanted).AllTaken());
    const Writes all = c.Writes();
    EXPECT_EQ(Writes(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
              (Writes{{5, 0xA000}}));
    const MeasurementRecord record = MeasureOnce(link, c.clock, k.address, kNormalLastReg,
                                                 Scaling{.currentLsb = 1e-4, .powerLsb = 0.002});
    EXPECT_NEAR(record.quantities.amperes, 1, 1e-9);
    EXPECT_NEAR(record.quantities.watts, 12, 1e-9);
  }
  // A load that changes two registers and has the first refused ends there:
  // the later one is not sent.
  test::RegContext refusing;
  refusing.Device().refusedWritePointer = 0;
  const RegisterRead present = ReadRegisters(refusing.evm.regLink(), 0x40, kNormalLastReg);
  std::array<int32_t, kDeviceRegs> wanted{};
  std::copy(present.values.begin(), present.values.end(), wanted.begin());
  wanted[0] = present.values[0] ^ 0x0800;
  wanted[5] = 0xA000;
  const WritesDone done = WriteChangedRegisters(refusing.evm.regLink(), present, wanted);
  EXPECT_EQ(done.refusedReg, 0);
  EXPECT_EQ(done.taken, 0u);
  EXPECT_EQ(refusing.Device().Register(5), present.values[5]);
}

}  // namespace
}  // namespace evm
