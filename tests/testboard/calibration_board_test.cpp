// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "common/atomic_file.h"
#include "support/sim_fixture.h"
#include "testboard/calibration_board.h"

namespace evm {
namespace {

struct Bench : test::InterfaceContext {
  CalibrationBoard& board() { return evm.calBoard(); }
  sim::TestBoardAnalog& analog() { return sim->TestBoard(); }
  // DAC writes that reached the interface board.
  int DacWrites() {
    int writes = 0;
    for (const auto& r : Interface().Reports()) writes += r[0] == 2 && r[8] == 0x98;
    return writes;
  }
};

// The converters measure against the board's reference; the program scales
// by the one it assumes, so a wrong assumption reads wrong volts.
TEST(ReadCnv, CodesAreSignedAndScaledByTheReference) {
  using enum Reference;
  const struct {
    double inputVolts;
    Reference mode;
    double vrefBefore;
    double boardVolts;  // the reference the board carries
    double expected;
    double vrefAfter;
  } cases[] = {
      {-10, User, 2.5, 5, -2.5, 2.5},            // 0x8000
      {10, User, 2.5, 5, 2.49992370605, 2.5},    // 0x7FFF
      {-10, DigitalCodes, 2.5, 5, -32768, 2.5},  // digital codes leave the reference alone
      {10, DigitalCodes, 2.5, 5, 32767, 2.5},
      {1.25, Factory5V, 2.5, 5, 1.25, 5},  // mode 1 chooses 5 V
      {1.5, Factory3V, 2.5, 3, 1.5, 3},    // mode 2 chooses 3 V
      {1.5, Factory3V, 2.5, 5, 0.9, 3},    // ... on a board that carries 5 V: 3/5 of the truth
      {1.25, None, 5, 5, 1.25, 5},         // mode 0 reads like mode 3
  };
  for (const auto& t : cases) {
    Bench c;
    c.analog().openPlusVolts = t.inputVolts;
    c.analog().openMinusVolts = 0;
    c.analog().referenceVolts = t.boardVolts;
    c.board().VrefVolts = t.vrefBefore;
    EXPECT_NEAR(c.board().ReadCnv(Converter::Cnv1, t.mode), t.expected, 1e-4)
        << t.inputVolts << " mode " << static_cast<int>(t.mode);
    EXPECT_EQ(c.board().VrefVolts, t.vrefAfter);
  }
}

TEST(FactoryCal, CoefficientsCorrectByReferenceAndSignAndAZeroGainIsReplaced) {
  Bench c;
  std::string file;
  // CNV1 5V positive: gain 2, offset 0.1; CNV1 5V not positive: gain 3, offset 0; rest neutral.
  const double values[34] = {2, 0.1, 3, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                             0, 1,   0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
  for (double v : values) file += std::to_string(v) + "\r\n";
  ASSERT_TRUE(WriteFileAtomically(c.evm.StateFile("FactoryCal.csv"), file));
  c.analog().openMinusVolts = 0;
  c.analog().openPlusVolts = 1.0;
  EXPECT_NEAR(c.board().ReadCnv(Converter::Cnv1, Reference::Factory5V), 2.1, 1e-3);
  c.analog().openPlusVolts = -1.0;
  EXPECT_NEAR(c.board().ReadCnv(Converter::Cnv1, Reference::Factory5V), -3.0, 1e-3);
  EXPECT_NEAR(c.board().ReadCnv(Converter::Cnv1, Reference::User), -1.0, 1e-3)
      << "mode 3 is not corrected";
  EXPECT_NEAR(c.board().ReadCnv(Converter::Cnv2, Reference::Factory5V), c.analog().openPlusVolts,
              1e-3)
      << "CNV2 keeps gain 1";

  // A gain of 0 is replaced and noted; a short file changes nothing.
  Bench zero;
  std::string zeroFile;
  for (int i = 0; i < 34; ++i)
    zeroFile += (i == 32 ? "0" : i % 2 == 0 ? "1" : "0") + std::string("\r\n");
  ASSERT_TRUE(WriteFileAtomically(zero.evm.StateFile("FactoryCal.csv"), zeroFile));
  EXPECT_EQ(zero.board().FactoryCal().loop.gain, 1);
  EXPECT_NE(zero.evm.usbDebug().Text().find("gain of loop read-back is 0; 1 is used."),
            std::string::npos);

  Bench d;
  ASSERT_TRUE(WriteFileAtomically(d.evm.StateFile("FactoryCal.csv"), "2\r\n0\r\n"));
  EXPECT_EQ(d.board().FactoryCal().cnv[0][0][0].gain, 1) << "a short file changes nothing";
}

TEST(SetCnvMux, FollowsTheBitTableAndSendsTheByte) {
  using enum MuxInput;
  constexpr Converter kCnv1 = Converter::Cnv1, kCnv2 = Converter::Cnv2;
  const struct {
    Converter which;
    MuxInput plus;
    MuxInput minus;
    uint8_t from;
    uint8_t to;
  } cases[] = {
      {kCnv1, Open, Unchanged, 0xFF, 0xF6}, {kCnv1, Gnd, Unchanged, 0x01, 0x08},
      {kCnv1, Dac, Unchanged, 0x08, 0x01},  {kCnv1, Unchanged, Open, 0xFF, 0xF9},
      {kCnv1, Unchanged, Gnd, 0x02, 0x04},  {kCnv1, Unchanged, Dac, 0x04, 0x02},
      {kCnv2, Open, Unchanged, 0xFF, 0x6F}, {kCnv2, Gnd, Unchanged, 0x10, 0x80},
      {kCnv2, Dac, Unchanged, 0x80, 0x10},  {kCnv2, Unchanged, Open, 0xFF, 0x9F},
      {kCnv2, Unchanged, Gnd, 0x20, 0x40},  {kCnv2, Unchanged, Dac, 0x40, 0x20},
  };
  for (const auto& t : cases) {
    Bench c;
    c.board().MuxState = t.from;
    c.board().SetCnvMux(t.which, t.plus, t.minus);
    EXPECT_EQ(c.board().MuxState, t.to)
        << static_cast<int>(t.which) << static_cast<int>(t.plus) << static_cast<int>(t.minus);
    EXPECT_EQ(c.Interface().muxByte, t.to);
  }
}

TEST(WriteDac, CodesRoundTiesToEvenAndBuildTheCommand) {
  EXPECT_EQ(CalibrationBoard::DacCode(2.5, 5), 32768);
  EXPECT_EQ(CalibrationBoard::DacCode(0.5, 65535), 0);
  EXPECT_EQ(CalibrationBoard::DacCode(1.5, 65535), 2);
  EXPECT_EQ(CalibrationBoard::DacCode(2.5, 65535), 2);
  EXPECT_EQ(CalibrationBoard::DacCode(6, 5), 65535) << "held to 16 bits";
  EXPECT_EQ(CalibrationBoard::DacCode(-1, 5), 0);

  Bench c;
  c.board().WriteDac(DacChannel::A, 2.5, Reference::User);
  EXPECT_EQ(c.Sent(0, 11), (std::vector<std::string>{"2 2 0 A AA C0 0 3 98 6 10"}));
  EXPECT_EQ(c.evm.dutWriter().MnemonicWords[8], "80");
  EXPECT_EQ(c.evm.dutWriter().MnemonicWords[10], "0");
  EXPECT_EQ(CalibrationBoard::DacWriteText(DacChannel::A, 0),
            "I2C CH2 S 98 ACKS 10 ACKS 0 ACKS 0 ACKS P");
  EXPECT_EQ(CalibrationBoard::DacWriteText(DacChannel::D, 0x1234),
            "I2C CH2 S 98 ACKS 16 ACKS 12 ACKS 34 ACKS P");
  EXPECT_EQ(c.analog().dacCode[0], 32768);
  EXPECT_EQ(c.ui.usbProblemDialogs, 0);

  const size_t before = c.Interface().Reports().size();
  c.board().WriteDac(DacChannel::A, 0, Reference::User);
  EXPECT_EQ(c.Sent(before, 17),
            (std::vector<std::string>{"2 2 0 A AA C0 0 3 98 6 10 6 0 6 0 6 4"}));
  EXPECT_EQ(c.analog().dacCode[0], 0);

  // Without USB the write still reaches the board, past the raw view.
  Bench offline;
  offline.evm.shell().RunWithoutUsb = true;
  offline.board().WriteDac(DacChannel::C, 1.0, Reference::User);
  EXPECT_EQ(offline.analog().dacCode[2], 13107);
  EXPECT_TRUE(offline.evm.dutWriter().exchange.txtToUSB[0].empty());
}

TEST(SetDac, RangeChecksAtTheBoundariesAndTheLoopIsReadWithTheFiveVoltReferenceOnly) {
  using enum Reference;
  const struct {
    double volts;
    Reference mode;
    bool written;
  } cases[] = {
      {4.95, Factory5V, false},  {4.9, Factory5V, true},    {0.05, Factory5V, true},
      {0.04, Factory5V, false},  {2.95, Factory3V, true},   {2.96, Factory3V, false},
      {0.05, Factory3V, true},   {0.049, Factory3V, false}, {5.0, User, true},
      {5.01, User, false},       {0, User, true},           {-0.001, User, false},
      {0, None, true},           {2.5, None, true},         {0, DigitalCodes, true},
      {-1, DigitalCodes, false},
  };
  for (const auto& t : cases) {
    Bench c;
    c.board().SetDac(DacChannel::B, t.volts, t.mode, false);
    const bool refused = !c.ui.messages.empty();
    EXPECT_EQ(!refused, t.written) << t.volts << " mode " << static_cast<int>(t.mode);
    EXPECT_EQ(c.Interface().Reports().empty(), !t.written);
    if (refused) {
      EXPECT_EQ(c.ui.messages[0].text, "Vin > max input voltage or Vin< min input voltage ");
    }
  }

  Bench loop;
  EXPECT_FALSE(loop.board().ReadLoopCurrent(Reference::User).has_value());
  ASSERT_EQ(loop.ui.messages.size(), 1u);
  EXPECT_EQ(loop.ui.messages[0].text, "You must use the 5V reference for 4mA to 20mA readback");
  loop.evm.dutWriter().SendMnemonic("CMD ILOOP ON");
  loop.board().SetCnvMux(Converter::Cnv2, MuxInput::Open, MuxInput::Gnd);
  const auto amps = loop.board().ReadLoopCurrent(Reference::Factory5V);
  ASSERT_TRUE(amps.has_value());
  EXPECT_NEAR(*amps, loop.analog().loopAmps, 0.0002);
}

TEST(AutoCalDac, ConvergesInTwoOrThreeWritesOrFailsAndRestoresTheSelections) {
  for (const DacChannel channel : {DacChannel::A, DacChannel::B, DacChannel::C, DacChannel::D}) {
    Bench c;
    const int ch = static_cast<int>(channel);
    c.board().SetDac(channel, 2.0, Reference::Factory5V, true);
    EXPECT_TRUE(c.ui.messages.empty()) << ch;
    EXPECT_NEAR(c.analog().DacVolts(ch), 2.0, 0.0002) << ch;
    EXPECT_GE(c.clock.ElapsedMs(), 600) << "settling waits";
    EXPECT_GE(c.DacWrites(), 2) << ch;
    EXPECT_LE(c.DacWrites(), 3) << ch;
    // Converters off first, on last.
    EXPECT_EQ(c.Sent().front(), "4 6 0");
    EXPECT_EQ(c.Sent().back(), "4 6 1");
  }
  Bench bad;
  bad.analog().dacGain[1] = 1.2;
  bad.board().AutoCalDac(DacChannel::B, 2.0, Reference::Factory5V);
  EXPECT_EQ(bad.DacWrites(), 3);
  ASSERT_EQ(bad.ui.messages.size(), 1u);
  EXPECT_EQ(bad.ui.messages[0].text, "Fail dac autocal.");
  EXPECT_EQ(bad.Sent().back(), "4 6 1") << "converters enabled again";

  Bench opened;
  opened.board().SetCnvMux(Converter::Cnv1, MuxInput::Open, MuxInput::Open);
  opened.board().AutoCalDac(DacChannel::A, 1.0, Reference::Factory5V);
  EXPECT_EQ(opened.board().MuxState & 0x0F, 0) << "back to open";

  Bench fresh;
  fresh.board().AutoCalDac(DacChannel::A, 1.0, Reference::Factory5V);
  EXPECT_EQ(fresh.board().MuxState & 0x0F, 0x0A)
      << "no selection: stays in the calibration connection";
}

}  // namespace
}  // namespace evm
