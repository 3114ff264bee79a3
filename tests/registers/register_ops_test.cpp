// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_ops.h"

#include <gtest/gtest.h>

#include "calibration/measurement_log.h"
#include "registers/register_fixture.h"

namespace evm {
namespace {

using Writes = std::vector<std::pair<int, int>>;

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
      {"the device", 0x40, true, 0, true, true, true, 600},
      {"a read-only register keeps its value", 0x40, true, 2, true, true, false, 600},
      {"nobody at 41h", 0x41, true, 0, false, false, false, 100},
      {"board unplugged", 0x40, false, 0, false, false, false, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    test::RegContext c;
    c.Device().load.noise = false;
    c.Board().plugged = k.plugged;
    RegisterLink& link = c.evm.regLink;
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
    EXPECT_TRUE(WriteChangedRegisters(link, present, wanted));
    const Writes all = c.Writes();
    EXPECT_EQ(Writes(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
              (Writes{{5, 0xA000}}));
    c.clock.Set({2026, 3, 7, 14, 5, 9});
    const MeasurementRecord record = MeasureOnce(link, c.clock, k.address, kNormalLastReg,
                                                 Scaling{.currentLsb = 1e-4, .powerLsb = 0.002});
    const std::string config = std::to_string(record.registers.values[0]);
    EXPECT_EQ(LogDataRecord(record), "\"03-07-2026 14:05:09\",12,1,0," + config +
                                         ",1000,24002,6000,10000,40960,\"\r\n\"\r\n");
  }
}

// A load that changes two registers and has the first refused is no success,
// and the later one is still written.
TEST(RegisterOps, ALoadWhoseEarlierWriteIsRefusedFails) {
  test::RegContext c;
  c.Device().refusedWritePointer = 0;
  const RegisterRead present = ReadRegisters(c.evm.regLink, 0x40, kNormalLastReg);
  std::array<int32_t, kDeviceRegs> wanted{};
  std::copy(present.values.begin(), present.values.end(), wanted.begin());
  wanted[0] = present.values[0] ^ 0x0800;
  wanted[5] = 0xA000;
  EXPECT_FALSE(WriteChangedRegisters(c.evm.regLink, present, wanted));
  EXPECT_EQ(c.Device().Register(5), 0xA000);
}

}  // namespace
}  // namespace evm
