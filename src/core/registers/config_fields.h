// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace evm {

// One field of the configuration register 00h.
struct ConfigField {
  uint16_t mask;
  int shift;
};

// The layout of register 00h, shared by the program and the simulated chip.
inline constexpr ConfigField kConfigReset{0x8000, 15};
inline constexpr ConfigField kConfigBusRange{0x2000, 13};  // 0: 16 V, 1: 32 V
inline constexpr ConfigField kConfigPga{0x1800, 11};       // divider 1, 2, 4, 8
inline constexpr ConfigField kConfigBusAdc{0x0780, 7};
inline constexpr ConfigField kConfigShuntAdc{0x0078, 3};
inline constexpr ConfigField kConfigMode{0x0007, 0};

constexpr int FieldOf(int32_t config, ConfigField field) {
  return static_cast<int>((static_cast<uint32_t>(config) & field.mask) >> field.shift);
}

constexpr int32_t WithField(int32_t config, ConfigField field, int value) {
  return static_cast<int32_t>((static_cast<uint32_t>(config) & ~uint32_t{field.mask}) |
                              ((static_cast<uint32_t>(value) << field.shift) & field.mask));
}

}  // namespace evm
