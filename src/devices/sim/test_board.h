// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "devices/sim/interface_board.h"
#include "devices/sim/sim_i2c_slave.h"

namespace evm::sim {

// The analogue side of the test board: the DAC's four outputs with their
// own small gain and offset errors, what an open converter input sees, the
// reference both chips share, and the 4-20 mA loop.
//
// Multiplexer bits (the byte of "CMD MUX"): CNV1+ 0x01 DAC B, 0x08 ground;
// CNV1- 0x02 DAC A, 0x04 ground; CNV2+ 0x10 DAC D, 0x80 ground; CNV2- 0x20
// DAC C, 0x40 ground; neither bit leaves the input open. While the loop
// read-back is connected ("CMD ILOOP ON") CNV2+ sees the loop current across
// a 1 ohm sense resistor, so its reading in volts is the current in amperes.
struct TestBoardAnalog {
  // The board's own reference, whatever the program assumes it to be.
  double referenceVolts = 5.0;
  std::array<double, 4> dacGain{1.0012, 0.9991, 1.0007, 0.9986};
  std::array<double, 4> dacOffset{0.0011, -0.0014, 0.0006, -0.0009};
  std::array<uint16_t, 4> dacCode{};
  double openPlusVolts = 0.0137;
  double openMinusVolts = 0.0021;
  double loopAmps = 0.0125;

  double DacVolts(int channel) const;
  double Reference() const { return referenceVolts; }
};

// The QDX4470 at 0x98 (0x4C): a control byte 10, 12, 14 or 16 selects
// channel A to D, the next two bytes are its code, high byte first.
class SimQdx4470 final : public SimI2CSlave {
 public:
  explicit SimQdx4470(TestBoardAnalog& analog) : analog_(analog) {}
  static constexpr uint8_t kAddress7 = 0x4C;
  uint8_t Address7() const override { return kAddress7; }
  bool Start(bool read) override;
  bool WriteByte(uint8_t value) override;
  uint8_t ReadByte() override { return 0xFF; }
  // Channels written, in order, for inspection.
  std::vector<int> writes;

 private:
  TestBoardAnalog& analog_;
  std::vector<uint8_t> bytes_;
};

// A CNV3800 converter: read at 0x91 (CNV1) or 0x93 (CNV2), answering the
// signed 16-bit code of the voltage between its inputs, full scale at the
// reference, saturating.
class SimCnv3800 final : public SimI2CSlave {
 public:
  SimCnv3800(int which, const InterfaceBoard& board, const TestBoardAnalog& analog)
      : which_(which), board_(board), analog_(analog) {}
  uint8_t Address7() const override { return which_ == 1 ? 0x48 : 0x49; }
  bool Start(bool read) override;
  bool WriteByte(uint8_t) override { return true; }
  uint8_t ReadByte() override;

  double InputVolts() const;
  static int16_t Code(double volts, double referenceVolts);

 private:
  int which_;
  const InterfaceBoard& board_;
  const TestBoardAnalog& analog_;
  std::array<uint8_t, 2> answer_{};
  size_t next_ = 0;
};

// Puts the converters and the DAC on the interface board's channel 2.
void AttachTestBoard(InterfaceBoard& board, TestBoardAnalog& analog);

}  // namespace evm::sim
