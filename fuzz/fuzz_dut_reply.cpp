// SPDX-License-Identifier: GPL-3.0-or-later
// The interface board's replies: whatever it answers, the decoded reads and
// acknowledges stay within their slots and the instruments give a number.
#include <array>

#include "fuzz_hid.h"

using namespace evm;

namespace {

// Commands of the kinds the program sends: writes with acknowledges, reads,
// measurements and one-wire reads.
constexpr std::array<const char*, 6> kCommands = {
    "CMD ON",
    "I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P",
    "I2C CH1 S 91 ACKS R ACKM R ACKM R P",
    "ONE R R 55",
    "SPI CH1 AFEL L 3C R H",
    "CMD MEAS",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzBytes in(data, size);
  fuzz::FuzzContext ctx(in);
  UsbDutWriter& writer = ctx.evm.dutWriter();
  CalibrationBoard& board = ctx.evm.calBoard();
  for (int i = 0; i < 4; ++i) {
    ctx.ui.usbProblemAnswers.push_back(static_cast<UsbProblemChoice>(in.Byte() % 4));
  }
  ctx.evm.usbDebug().UsbDebugLevel = static_cast<DebugTrace>(in.Byte() % 3);
  for (int step = 0; step < 12 && (step == 0 || !in.Empty()); ++step) {
    const uint8_t op = in.Byte();
    const auto mode = static_cast<Reference>(in.Byte() % 3);
    switch (op % 5) {
      case 0: writer.SendMnemonic(kCommands[in.Byte() % kCommands.size()]); break;
      case 1: writer.SendMnemonic(in.Text(in.Byte())); break;
      case 2: (void)board.ReadCnv(static_cast<Converter>(in.Byte() % 2), mode); break;
      case 3: (void)board.ReadLoopCurrent(mode); break;
      default:
        board.SetDac(static_cast<DacChannel>(in.Byte() % 4), (in.Byte() % 60) / 10.0, mode,
                     in.Byte() % 2 == 1);
        break;
    }
    FUZZ_CHECK(writer.ReadCount >= 0 && writer.ReadCount <= kI2CResultSlots);
    FUZZ_CHECK(writer.AckCount >= 0 && writer.AckCount <= kI2CResultSlots);
    FUZZ_CHECK(ctx.hid.Sim().OpenHandleCount() <= 4);
  }
  return 0;
}
