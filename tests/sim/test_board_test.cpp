// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated test board's analogue wiring: what each converter input sees
// for each multiplexer byte.
#include "devices/sim/test_board.h"

#include <gtest/gtest.h>

namespace evm::sim {
namespace {

struct Board {
  DutSupply supply;
  InterfaceBoard iface{0x3A5F, supply};
  TestBoardAnalog analog;
  SimCnv3800 cnv1{1, iface, analog};
  SimCnv3800 cnv2{2, iface, analog};

  Board() {
    for (int ch = 0; ch < 4; ++ch) {
      analog.dacCode[static_cast<size_t>(ch)] = static_cast<uint16_t>(6553 * (ch + 1));
    }
  }
  double Dac(int channel) const { return analog.DacVolts(channel); }
};

TEST(SimTestBoard, MultiplexerBitsRouteEachInput) {
  Board b;
  const double openP = b.analog.openPlusVolts, openM = b.analog.openMinusVolts;
  const double a = b.Dac(0), bb = b.Dac(1), c = b.Dac(2), d = b.Dac(3);
  const struct {
    uint8_t mux;
    double cnv1, cnv2;
  } cases[] = {
      {0x01, bb - openM, openP - openM},     // CNV1+ DAC B
      {0x00, openP - openM, openP - openM},  // open reads its own voltage, not the last one
      {0x08, 0 - openM, openP - openM},      // CNV1+ ground
      {0x02, openP - a, openP - openM},      // CNV1- DAC A
      {0x04, openP - 0, openP - openM},      // CNV1- ground
      {0x10, openP - openM, d - openM},      // CNV2+ DAC D
      {0x80, openP - openM, 0 - openM},      // CNV2+ ground
      {0x20, openP - openM, openP - c},      // CNV2- DAC C
      {0x40, openP - openM, openP - 0},      // CNV2- ground
      {0x05, bb, openP - openM},             // DAC B to CNV1+, minus to ground
      {0x5A, 0 - a, d},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.mux));
    b.iface.muxByte = k.mux;
    EXPECT_DOUBLE_EQ(b.cnv1.InputVolts(), k.cnv1);
    EXPECT_DOUBLE_EQ(b.cnv2.InputVolts(), k.cnv2);
  }
}

// The converter codes themselves are checked through the calibration board's
// reads; the DAC's scale is only seen here.
TEST(SimTestBoard, TheDacsFullScaleIsTheBoardsOwnReference) {
  Board b;
  b.analog.referenceVolts = 3.0;
  b.analog.dacCode[1] = 65535;
  EXPECT_NEAR(b.Dac(1), 3.0, 0.01);
}

}  // namespace
}  // namespace evm::sim
