// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace evm {

// USB vendor id that both boards report; the program takes it from
// --vendor-id when a board carries another.
inline constexpr uint16_t kDefaultBoardVendorId = 0x3A5F;

inline constexpr uint16_t kRegLinkProductId = 0x5F00;

// Report lengths (report id included) used where the platform cannot tell
// them: the register link answers in 65-byte reports, the interface board in
// 33-byte ones.
inline constexpr uint16_t kRegLinkDefaultReportLength = 65;
inline constexpr uint16_t kInterfaceBoardReportLength = 33;

}  // namespace evm
