#include "devices/hidapi/report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

namespace evm {
namespace {

using Bytes = std::vector<uint8_t>;

// A vendor-defined board with one unnumbered report each way.
Bytes VendorDescriptor(uint8_t inCount, uint8_t outCount) {
  return {0x06, 0x00,     0xFF,        // Usage Page (vendor)
          0x09, 0x01,                  // Usage
          0xA1, 0x01,                  // Collection (application)
          0x15, 0x00,                  // Logical Minimum 0
          0x26, 0xFF,     0x00,        // Logical Maximum 255
          0x75, 0x08,                  // Report Size 8
          0x95, inCount,               // Report Count
          0x09, 0x01,     0x81, 0x02,  // Input
          0x95, outCount,              // Report Count
          0x09, 0x01,     0x91, 0x02,  // Output
          0xC0};
}

TEST(ReportDescriptor, LengthsCountTheReportIdByte) {
  const auto sixtyFour = ReportLengthsFromDescriptor(VendorDescriptor(64, 64));
  ASSERT_TRUE(sixtyFour);
  EXPECT_EQ(sixtyFour->input, 65);
  EXPECT_EQ(sixtyFour->output, 65);
  EXPECT_EQ(sixtyFour->feature, 0);
  const auto board = ReportLengthsFromDescriptor(VendorDescriptor(32, 32));
  ASSERT_TRUE(board);
  EXPECT_EQ(board->input, 33);
}

TEST(ReportDescriptor, NumberedReportsGiveTheLongest) {
  Bytes d{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75,
          0x08, 0x85, 0x01, 0x95, 0x10, 0x81, 0x02,  // report 1: 16 bytes in
          0x85, 0x02, 0x95, 0x3F, 0x81, 0x02,        // report 2: 63 bytes in
          0x85, 0x03, 0x95, 0x07, 0x91, 0x02,        // report 3: 7 bytes out
          0xC0};
  const auto lengths = ReportLengthsFromDescriptor(d);
  ASSERT_TRUE(lengths);
  EXPECT_EQ(lengths->input, 64);
  EXPECT_EQ(lengths->output, 8);
}

TEST(ReportDescriptor, MalformedOrEmptyDescriptorsGiveNothing) {
  const Bytes cases[] = {
      {},
      {0x06, 0x00},                                      // item cut short
      {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0},  // no reports
      {0xB4},                                            // pop without push
  };
  for (const Bytes& d : cases) EXPECT_FALSE(ReportLengthsFromDescriptor(d).has_value());
}

}  // namespace
}  // namespace evm
