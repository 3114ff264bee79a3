// SPDX-License-Identifier: GPL-3.0-or-later
#include "reglink/register_link.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/sim/simulated_evm.h"
#include "hid/board_ids.h"
#include "reglink/reglink_reports.h"

namespace evm {
namespace {

using sim::RegLinkBoard;
using sim::SimulatedEvm;
using Bytes = std::vector<uint8_t>;

// A board that answers with whatever reply the test sets, to check the
// transfer's decoding byte for byte.
class ScriptedBoard final : public sim::SimDevice {
 public:
  explicit ScriptedBoard(uint16_t pid = kRegLinkProductId) : pid_(pid) {}
  uint16_t VendorId() const override { return kDefaultBoardVendorId; }
  uint16_t ProductId() const override { return pid_; }
  HidCaps Caps() const override {
    HidCaps c;
    c.inputReportByteLength = 65;
    c.outputReportByteLength = 65;
    return c;
  }
  std::optional<Bytes> HandleOutputReport(const Bytes& report) override {
    reports.push_back(report);
    Bytes r(65, 0);
    std::copy(reply.begin(), reply.end(), r.begin() + 1);
    return r;
  }
  Bytes reply;
  std::vector<Bytes> reports;

 private:
  uint16_t pid_;
};

struct LinkFixture : ::testing::Test {
  FakeClock clock;
  I2CResults results;
  SimulatedEvm sim{clock};
  RegisterLink link{sim, clock, results, kDefaultBoardVendorId};
};

TEST_F(LinkFixture, RequestLayoutsMatchTheWireFormatByteForByte) {
  auto& board = sim.AddBoard<ScriptedBoard>();
  board.reply = {0x94, 0x00};
  link.WriteRegWord(0x40, 0x05, 0x12, 0x34);
  board.reply = {0x95, 0x00, 0xAB, 0xCD};
  link.ReadRegWord(0x45, 0x02);

  ASSERT_EQ(board.reports.size(), 2u);
  const Bytes write(board.reports[0].begin(), board.reports[0].begin() + 8);
  EXPECT_EQ(write, (Bytes{0x00, 0x14, 0x80, 0x05, 0x02, 0x12, 0x34, 0x00}));
  const Bytes read(board.reports[1].begin(), board.reports[1].begin() + 7);
  EXPECT_EQ(read, (Bytes{0x00, 0x15, 0x8A, 0x02, 0x8B, 0x02, 0x00}));
  EXPECT_EQ(board.reports[0].size(), 65u) << "output report has the board's length";
  EXPECT_EQ(clock.ElapsedMs(), 200) << "100 ms settle before every register word";

  const Bytes payload{1, 2, 3, 4, 5};
  EXPECT_EQ(BuildOutputReport(payload, 4), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(BuildOutputReport(payload, 8), (Bytes{0, 1, 2, 3, 4, 5, 0, 0}));
}

TEST_F(LinkFixture, ReadDecodingFollowsReplyCodeAndStatusAndACountOfZeroNeedsNoData) {
  struct Case {
    const char* name;
    Bytes reply;
    bool ok;
    uint8_t ack;
    uint8_t msb, lsb;
  };
  const Case cases[] = {
      {"good reply", {0x95, 0x00, 0x12, 0x34}, true, 0, 0x12, 0x34},
      {"non-zero status keeps old bytes", {0x95, 0x01, 0x56, 0x78}, false, 1, 0x12, 0x34},
      {"write reply code to a read", {0x94, 0x00, 0x56, 0x78}, false, 1, 0x12, 0x34},
  };
  auto& board = sim.AddBoard<ScriptedBoard>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    board.reply = c.reply;
    link.ReadRegWord(0x40, 1);
    EXPECT_EQ(results.I2C_AckStatus[0], c.ack);
    EXPECT_EQ(results.I2C_ReadData[0], c.msb);
    EXPECT_EQ(results.I2C_ReadData[1], c.lsb);
    EXPECT_TRUE(link.LinkOpen()) << "a wrong reply keeps the link open";
  }

  board.reply = {0x95, 0x00};
  uint8_t data[1] = {0x77};
  EXPECT_TRUE(link.I2CRead(0x40, 0, 0, data, 0));
  EXPECT_EQ(data[0], 0x77);
  EXPECT_EQ(board.reports.size(), std::size(cases) + 1);
}

TEST_F(LinkFixture, TimeOutClosesTheLinkAndTheNextTransferRediscovers) {
  auto& board = sim.AddBoard<RegLinkBoard>(kDefaultBoardVendorId);
  link.ReadRegWord(0x40, 0);
  ASSERT_EQ(results.I2C_AckStatus[0], 0);
  ASSERT_EQ(sim.EnumerationCount(), 1);

  board.noReply = true;
  const int64_t before = clock.ElapsedMs();
  link.ReadRegWord(0x40, 0);
  EXPECT_EQ(results.I2C_AckStatus[0], 1);
  EXPECT_FALSE(link.LinkOpen());
  EXPECT_EQ(sim.OpenHandleCount(), 0) << "both handles closed";
  EXPECT_EQ(clock.ElapsedMs() - before, 100 + 1000) << "settle plus the reply wait";

  board.noReply = false;
  link.ReadRegWord(0x40, 0);
  EXPECT_EQ(results.I2C_AckStatus[0], 0);
  EXPECT_EQ(sim.EnumerationCount(), 2);
  EXPECT_EQ(sim.EventsCreated(), 1) << "the read event is created once per run";
}

TEST_F(LinkFixture, ArgumentsThatDoNotFitARequestSendNothing) {
  auto& board = sim.AddBoard<ScriptedBoard>();
  board.reply = {0x94, 0x00};
  const std::vector<uint8_t> data(100, 0);
  EXPECT_FALSE(link.I2CWrite(128, 0, 2, data, 0));
  EXPECT_FALSE(link.I2CWrite(0x40, 256, 2, data, 0));
  EXPECT_FALSE(link.I2CWrite(0x40, 0, 61, data, 0)) << "65-byte report holds 60 data bytes";
  EXPECT_TRUE(link.I2CWrite(0x40, 0, 60, data, 0));
  std::vector<uint8_t> in(100, 0);
  EXPECT_FALSE(link.I2CRead(0x40, 0, 63, in, 0));
  EXPECT_EQ(board.reports.size(), 1u);
}

}  // namespace
}  // namespace evm
