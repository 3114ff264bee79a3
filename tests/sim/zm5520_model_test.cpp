// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/zm5520_model.h"

#include <gtest/gtest.h>

namespace evm::sim {
namespace {

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

TEST(Zm5520Model, NoiseIsSmallAndRepeatable) {
  Zm5520Model a, b;
  for (int i = 0; i < 50; ++i) {
    const int va = static_cast<int16_t>(ReadWord(a, 1));
    EXPECT_EQ(va, static_cast<int16_t>(ReadWord(b, 1)));
    EXPECT_NEAR(va, 1000, 2);
  }
}

}  // namespace
}  // namespace evm::sim
