// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace evm {

// USB vendor id that both boards report; the program takes it from
// --vendor-id when a board carries another.
inline constexpr uint16_t kDefaultBoardVendorId = 0x3A5F;

inline constexpr uint16_t kRegLinkProductId = 0x5F00;

// The interface board's product id is a base plus its two address jumpers;
// boards of the first series count from another base.
inline constexpr uint16_t kStandardUsbAddressBase = 0x2F90;
inline constexpr uint16_t kLegacyUsbAddressBase = 0x1234;

constexpr uint16_t UsbAddressBase(bool legacy) {
  return legacy ? kLegacyUsbAddressBase : kStandardUsbAddressBase;
}
constexpr bool InUsbAddressRange(uint16_t address, bool legacy) {
  const uint16_t base = UsbAddressBase(legacy);
  return address >= base && address <= base + 3;
}

// Report lengths (report id included) used where the platform cannot tell
// them: the register link answers in 65-byte reports, the interface board in
// 33-byte ones.
inline constexpr uint16_t kRegLinkDefaultReportLength = 65;
inline constexpr uint16_t kInterfaceBoardReportLength = 33;

}  // namespace evm
