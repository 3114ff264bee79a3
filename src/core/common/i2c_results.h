// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace evm {

inline constexpr int kI2CResultSlots = 41;

// Results of the latest transfer, shared by both USB paths: a read-data slot
// is empty or holds one byte.
struct I2CResults {
  std::array<std::optional<uint8_t>, kI2CResultSlots> I2C_ReadData{};
  std::array<uint8_t, kI2CResultSlots> I2C_AckStatus{};
};

}  // namespace evm
