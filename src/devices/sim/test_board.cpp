// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/test_board.h"

#include <algorithm>
#include <cmath>

namespace evm::sim {

double TestBoardAnalog::DacVolts(int channel) const {
  const size_t ch = static_cast<size_t>(channel);
  const double reference = Reference();
  const double ideal = dacCode[ch] / 65535.0 * reference;
  return std::clamp(ideal * dacGain[ch] + dacOffset[ch], 0.0, reference);
}

bool SimQdx4470::Start(bool read) {
  bytes_.clear();
  return !read;
}

bool SimQdx4470::WriteByte(uint8_t value) {
  bytes_.push_back(value);
  if (bytes_.size() == 3) {
    const uint8_t control = bytes_[0];
    if (control == 0x10 || control == 0x12 || control == 0x14 || control == 0x16) {
      const int channel = (control - 0x10) / 2;
      analog_.dacCode[static_cast<size_t>(channel)] =
          static_cast<uint16_t>(bytes_[1] << 8 | bytes_[2]);
      writes.push_back(channel);
    }
    bytes_.clear();
  }
  return true;
}

double SimCnv3800::InputVolts() const {
  const uint8_t mux = board_.muxByte;
  const bool cnv1 = which_ == 1;
  // Bits and DAC channels of this converter's plus and minus inputs.
  const uint8_t plusDac = cnv1 ? 0x01 : 0x10, plusGnd = cnv1 ? 0x08 : 0x80;
  const uint8_t minusDac = cnv1 ? 0x02 : 0x20, minusGnd = cnv1 ? 0x04 : 0x40;
  const int plusChannel = cnv1 ? 1 : 3, minusChannel = cnv1 ? 0 : 2;

  double plus = analog_.openPlusVolts;
  if (mux & plusDac) plus = analog_.DacVolts(plusChannel);
  if (mux & plusGnd) plus = 0;
  if (!cnv1 && board_.iloop == 0) plus = analog_.loopAmps * 1.0;

  double minus = analog_.openMinusVolts;
  if (mux & minusDac) minus = analog_.DacVolts(minusChannel);
  if (mux & minusGnd) minus = 0;
  return plus - minus;
}

int16_t SimCnv3800::Code(double volts, double referenceVolts) {
  const double code = std::round(volts / referenceVolts * 32768.0);
  return static_cast<int16_t>(std::clamp(code, -32768.0, 32767.0));
}

bool SimCnv3800::Start(bool read) {
  const auto code = static_cast<uint16_t>(Code(InputVolts(), analog_.Reference()));
  answer_ = {static_cast<uint8_t>(code >> 8), static_cast<uint8_t>(code & 0xFF)};
  next_ = 0;
  return read;
}

uint8_t SimCnv3800::ReadByte() {
  return next_ < answer_.size() ? answer_[next_++] : 0xFF;
}

void AttachTestBoard(InterfaceBoard& board, TestBoardAnalog& analog) {
  board.AddSlave<SimCnv3800>(2, 1, board, analog);
  board.AddSlave<SimCnv3800>(2, 2, board, analog);
  board.AddSlave<SimQdx4470>(2, analog);
}

}  // namespace evm::sim
