// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace evm {

inline constexpr int kRegSlots = 51;
inline constexpr int kDeviceRegs = 8;
inline constexpr int kBitsPerReg = 16;
inline constexpr int kNormalLastReg = 5;
inline constexpr int kEngineeringLastReg = 7;

// Element 0 names bit 15, element 15 names bit 0.
using BitNameList = std::array<std::string, kBitsPerReg>;

// The register-value store and the tables around it (module mod_Qma740).
// Values are unsigned 16-bit numbers kept in signed 32-bit slots, so a value
// that went out of range can still be told apart from a valid one.
struct RegisterStore {
  std::array<int32_t, kRegSlots> RegValue{};
  std::array<int32_t, kRegSlots> RegPrevious{};
  std::array<bool, kRegSlots> RegEdited{};
  std::array<double, kRegSlots> RegScaled{};
  // Entry n + 1 names register n; entries 0, 9 and 10 stay empty.
  std::array<std::string, 11> RegName{};
  std::array<BitNameList, kDeviceRegs> RegBitNames{};
  std::array<std::string, kDeviceRegs> RegLegend{};
  std::array<bool, 31> RegReadOnly{};

  double PowerLsb = 0;
  double CurrentLsb = 0;
  // Highest register read, written and shown; follows the rows on screen.
  int LastReg = kNormalLastReg;

  // 7-bit address every register transfer goes to.
  int DeviceAddress = 0x40;
  int PgaDivider = 1;
  double MaxShuntVoltage = 0.04;
  int BusFullScale = 16;
  // True while code, not the user, moves the choice lists.
  bool ControlsUpdating = false;

  // Grid cell highlighted last, so the next highlight can clear it.
  int HighlightRow = 0;
  int HighlightCol = 0;
};

}  // namespace evm
