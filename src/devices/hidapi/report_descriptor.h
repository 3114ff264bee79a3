// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace evm {

// Report byte lengths as the HID capabilities give them: the longest report
// of each kind plus one byte for the report id.
struct ReportLengths {
  uint16_t input = 0;
  uint16_t output = 0;
  uint16_t feature = 0;
};

// Reads the main items of a HID report descriptor; nullopt when it is
// malformed or describes no input or output report.
std::optional<ReportLengths> ReportLengthsFromDescriptor(std::span<const uint8_t> descriptor);

}  // namespace evm
