// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated boards: the test board's analogue wiring (what each
// converter input sees for each multiplexer byte) and the device's registers.
#include "devices/sim/test_board.h"
#include "devices/sim/zm5520_model.h"

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

TEST(SimTestBoard, MultiplexerBitsRouteEachInputAndTheDacsScaleIsTheReference) {
  Board b;
  const double openP = b.analog.openPlusVolts, openM = b.analog.openMinusVolts;
  const double a = b.Dac(0), bb = b.Dac(1), c = b.Dac(2), d = b.Dac(3);
  const struct {
    uint8_t mux;
    double cnv1, cnv2;
  } cases[] = {
      {0x01, bb - openM, openP - openM},     // CNV1+ DAC B
      {0x00, openP - openM, openP - openM},  // open reads its own voltage, not the last one
      {0x04, openP - 0, openP - openM},      // CNV1- ground
      {0x80, openP - openM, 0 - openM},      // CNV2+ ground
      {0x20, openP - openM, openP - c},      // CNV2- DAC C
      {0x5A, 0 - a, d},                      // CNV1+ ground, CNV1- DAC A, CNV2+ DAC D, CNV2- ground
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(static_cast<int>(k.mux));
    b.iface.muxByte = k.mux;
    EXPECT_DOUBLE_EQ(b.cnv1.InputVolts(), k.cnv1);
    EXPECT_DOUBLE_EQ(b.cnv2.InputVolts(), k.cnv2);
  }
  // The converter codes are checked through the calibration board's reads;
  // the DAC's full scale, the board's own reference, only here.
  b.analog.referenceVolts = 3.0;
  b.analog.dacCode[1] = 65535;
  EXPECT_NEAR(b.Dac(1), 3.0, 0.01);
}

uint16_t ReadWord(Zm5520Model& m, uint8_t pointer) {
  const auto bytes = m.Read(0x40, pointer, 2);
  EXPECT_TRUE(bytes.has_value());
  return bytes ? static_cast<uint16_t>((*bytes)[0] << 8 | (*bytes)[1]) : 0;
}

TEST(Zm5520Model, ReadOnlyRegistersIgnoreWritesAndBadAddressesNack) {
  Zm5520Model m;
  m.load.noise = false;
  const uint16_t before = ReadWord(m, 2);
  EXPECT_TRUE(m.Write(0x40, 2, {0, 0}));
  EXPECT_EQ(ReadWord(m, 2), before);
  EXPECT_FALSE(m.Write(0x41, 5, {0, 1}));
  EXPECT_FALSE(m.Write(0x40, 8, {0, 1}));
  EXPECT_FALSE(m.Read(0x40, 9, 2).has_value());
  ASSERT_TRUE(m.Write(0x40, 5, {0x12, 0x34}));
  ASSERT_TRUE(m.Write(0x40, 0, {0x80, 0x00}));
  EXPECT_EQ(ReadWord(m, 5), 0) << "the reset bit restores the defaults";
}

}  // namespace
}  // namespace evm::sim
