// Report lengths of real boards come from their report descriptors; these
// are the byte arrays a board hands out, with the lengths the capabilities
// must then report.
#include "devices/hidapi/report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace evm {
namespace {

TEST(ReportLengthsFromDescriptor, LongestReportOfEachKindPlusTheIdByte) {
  struct Case {
    const char* name;
    uint16_t input, output, feature;
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
  };
  // clang-format on
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const auto lengths = ReportLengthsFromDescriptor(k.descriptor);
    ASSERT_TRUE(lengths.has_value());
    EXPECT_EQ(lengths->input, k.input);
    EXPECT_EQ(lengths->output, k.output);
    EXPECT_EQ(lengths->feature, k.feature);
  }
}

// Without usable lengths the platform falls back to the documented defaults,
// so a descriptor that cannot be trusted must give none.
TEST(ReportLengthsFromDescriptor, MalformedOrReportlessDescriptorsGiveNone) {
  struct Case {
    const char* name;
    std::vector<uint8_t> descriptor;
  };
  const Case cases[] = {
      {"empty", {}},
      {"item cut short", {0x75, 0x08, 0x95}},
      {"main item without its data", {0x75, 0x08, 0x95, 0x40, 0x81}},
      {"pop without push", {0x75, 0x08, 0x95, 0x40, 0xB4, 0x81, 0x02}},
      {"long item without its size", {0xFE}},
      {"feature report only", {0x75, 0x08, 0x95, 0x40, 0xB1, 0x02}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    EXPECT_FALSE(ReportLengthsFromDescriptor(k.descriptor).has_value());
  }
}

}  // namespace
}  // namespace evm
