// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/win32/win32_hid_platform.h"

#include <gtest/gtest.h>

#include "devices/win32/win32_hid_text.h"

namespace evm {
namespace {

TEST(Win32Hid, ErrorTextsAreTheSystemsWithoutTheLineBreak) {
  Win32HidPlatform hid;
  for (uint32_t code : {ERROR_SUCCESS, ERROR_INVALID_HANDLE, ERROR_TIMEOUT}) {
    const std::string text = hid.ErrorText(code);
    SCOPED_TRACE(text);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
  }
  EXPECT_EQ(hid.ErrorText(0x2FFFFFFF), "") << "no text for a code the system does not know";
}

TEST(Win32Hid, DevicePathsConvertBetweenUtf8AndUtf16) {
  const std::wstring path =
      L"\\\\?\\hid#vid_3a5f&pid_5f00#\u00f6\u0416#{4d1e55b2-f16f-11cf-88cb-001111000030}";
  const std::string utf8 = win32::Utf8FromWide(path);
  EXPECT_NE(utf8.find("#\xC3\xB6\xD0\x96#"), std::string::npos);
  EXPECT_EQ(win32::WideFromUtf8(utf8), path);
  EXPECT_EQ(win32::WideFromUtf8("bad \xC3("), std::nullopt);

  Win32HidPlatform hid;
  EXPECT_EQ(hid.Open("bad \xC3(", false), kInvalidHidHandle);
  EXPECT_EQ(hid.LastError(), static_cast<uint32_t>(ERROR_INVALID_NAME));
  EXPECT_EQ(hid.Open(utf8, true), kInvalidHidHandle) << "no such device";
  EXPECT_NE(hid.LastError(), 0u);
}

// The enumeration of the machine it runs on: it must end, and end the way
// the discovery loops expect, whatever devices there are.
TEST(Win32Hid, EnumerationEndsWithNoMoreItems) {
  Win32HidPlatform hid;
  const HidGuid guid = hid.HidClassGuid();
  EXPECT_EQ(guid.data1, 0x4D1E55B2u);
  ASSERT_TRUE(hid.BeginEnumeration());
  int index = 0;
  while (hid.EnumerateMember(index)) {
    ASSERT_LT(index, 1000);
    EXPECT_TRUE(hid.InterfacePath(index));
    ++index;
  }
  EXPECT_EQ(hid.LastError(), static_cast<uint32_t>(ERROR_NO_MORE_ITEMS));
  hid.EndEnumeration();
  EXPECT_FALSE(hid.EnumerateMember(0));
}

TEST(Win32Hid, ReadingWithoutAStartedReadFails) {
  Win32HidPlatform hid;
  std::vector<uint8_t> report;
  EXPECT_EQ(hid.WaitRead(kInvalidHidHandle, 0, report), HidWaitResult::Failed);
  EXPECT_FALSE(hid.StartRead(kInvalidHidHandle, 65));
  EXPECT_EQ(hid.LastError(), static_cast<uint32_t>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace evm
