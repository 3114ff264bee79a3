// SPDX-License-Identifier: GPL-3.0-or-later
// Report lengths of real boards come from their report descriptors; these
// are the byte arrays a board hands out, with the lengths the capabilities
// must then report.
#include "devices/hidapi/report_descriptor.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace evm {
namespace {

// Without usable lengths the platform falls back to the documented defaults,
// so a descriptor that cannot be trusted must give none (shown as -1).
TEST(ReportLengthsFromDescriptor, LongestReportOfEachKindPlusTheIdByteOrNone) {
  struct Case {
    const char* name;
    int input, output, feature;
    std::vector<uint8_t> descriptor;
  };
  // clang-format off
  const Case cases[] = {
      {"vendor page, 64 bytes each way, no report id", 65, 65, 0,
       {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75,
        0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0}},
      {"interface board, 32 bytes each way", 33, 33, 0,
       {0x75, 0x08, 0x95, 0x20, 0x81, 0x02, 0x91, 0x02}},
      {"report ids: the longest input wins, fields of one id add up", 64, 18, 0,
       {0x75, 0x08, 0x85, 0x01, 0x95, 0x20, 0x81, 0x02, 0x85, 0x02, 0x95, 0x3F,
        0x81, 0x02, 0x85, 0x01, 0x95, 0x10, 0x91, 0x02, 0x95, 0x01, 0x91, 0x02}},
      {"bits are rounded up to whole bytes", 3, 2, 0,
       {0x75, 0x01, 0x95, 0x0C, 0x81, 0x02, 0x75, 0x03, 0x95, 0x01, 0x91, 0x02}},
      {"push and pop restore size and count", 33, 0, 5,
       {0x75, 0x08, 0x95, 0x20, 0xA4, 0x95, 0x04, 0xB1, 0x02, 0xB4, 0x81, 0x02}},
      {"four-byte item data", 65, 0, 0, {0x75, 0x08, 0x97, 0x40, 0x00, 0x00, 0x00, 0x81, 0x02}},
      {"a long item is passed over", 0, 9, 0,
       {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x08, 0x91, 0x02}},
      {"empty", -1, -1, -1, {}},
      {"item cut short", -1, -1, -1, {0x75, 0x08, 0x95}},
      {"main item without its data", -1, -1, -1, {0x75, 0x08, 0x95, 0x40, 0x81}},
      {"pop without push", -1, -1, -1, {0x75, 0x08, 0x95, 0x40, 0xB4, 0x81, 0x02}},
      {"long item without its size", -1, -1, -1, {0xFE}},
      {"feature report only", -1, -1, -1, {0x75, 0x08, 0x95, 0x40, 0xB1, 0x02}},
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const auto lengths = ReportLengthsFromDescriptor(k.descriptor);
    const std::array<int, 3> got =
        lengths ? std::array<int, 3>{lengths->input, lengths->output, lengths->feature}
                : std::array<int, 3>{-1, -1, -1};
    EXPECT_EQ(got, (std::array<int, 3>{k.input, k.output, k.feature}));
  }
}

}  // namespace
}  // namespace evm
