// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>

#include "common/atomic_file.h"
#include "shell/set_usb_address.h"
#include "shell/usb_address_file.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

TEST(SetUsbAddress, LoadSetsRangeJumpersAndCaptionFromTheFile) {
  struct Case {
    const char* file;
    bool legacy;
    const char* text4;
    const char* text5;
    uint16_t address;
  };
  const Case cases[] = {
      {"4661\r\n", true, " 0", " 1", 0x1235},   {"12178\r\n", false, " 1", " 0", 0x2F92},
      {"4663\r\n", true, " 1", " 1", 0x1237},   {"0\r\n", false, " 0", " 0", 0x2F90},
      {"12180\r\n", false, " 0", " 0", 0x2F90}, {nullptr, false, " 0", " 0", 0x2F93},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.file ? k.file : "no file: the address in use stays");
    test::TempDir dir;
    const auto file = dir.path() / kUsbAddressFileName;
    ASSERT_TRUE(!k.file || WriteFileAtomically(file, k.file));
    ShellState shell;
    shell.UsbAddress = 0x2F93;
    SetUsbAddressPanel panel;
    SetUsbAddressLoad(panel, shell, file);
    EXPECT_EQ(shell.LegacyAddressing, k.legacy);
    EXPECT_EQ(panel.Check1, k.legacy);
    EXPECT_EQ(panel.Text4, k.text4);
    EXPECT_EQ(panel.Text5, k.text5);
    EXPECT_EQ(shell.UsbAddress, k.address);
    EXPECT_EQ(panel.Label3, ProductIdCaption(k.address));
  }
}

TEST(SetUsbAddress, JumperAndLegacyClicksSetTheAddress) {
  ShellState shell;
  shell.UsbAddress = 0x2F90;
  SetUsbAddressPanel panel;
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(shell.UsbAddress, 0x2F92);
  SetUsbAddressJumperClick(panel, shell, 5);
  EXPECT_EQ(shell.UsbAddress, 0x2F93);
  EXPECT_EQ(panel.Label3, "MyProductID = 2F93h");
  SetUsbAddressJumperClick(panel, shell, 4);
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(shell.UsbAddress, 0x2F93);

  shell.LegacyAddressing = true;
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(shell.UsbAddress, 0x1235);

  panel.Text5 = "x";  // a box not showing a jumper leaves the address alone...
  panel.Text4 = "y";
  SetUsbAddressJumperClick(panel, shell, 4);
  EXPECT_EQ(panel.Text4, " 1");  // ...until both show one again
  EXPECT_EQ(shell.UsbAddress, 0x1235);

  // The legacy box moves between the ranges and clears the jumpers.
  SetUsbAddressCheck1Click(panel, shell, false);
  EXPECT_EQ(shell.UsbAddress, 0x2F90);
  EXPECT_FALSE(shell.LegacyAddressing);
  SetUsbAddressCheck1Click(panel, shell, true);
  EXPECT_EQ(shell.UsbAddress, 0x1234);
  EXPECT_TRUE(shell.LegacyAddressing);
  EXPECT_EQ(panel.Text4 + panel.Text5, " 0 0");
}

TEST(SetUsbAddress, SaveWritesTheDecimalRecordAndNeverAnEmptyOne) {
  test::TempDir dir;
  const auto file = dir.path() / kUsbAddressFileName;
  ShellState shell;
  EXPECT_FALSE(SetUsbAddressSave(shell, file));
  EXPECT_FALSE(ReadWholeFile(file).has_value());
  shell.UsbAddress = 0x2F91;
  EXPECT_TRUE(SetUsbAddressSave(shell, file));
  EXPECT_EQ(*ReadWholeFile(file), "12177\r\n");
}

}  // namespace
}  // namespace evm
