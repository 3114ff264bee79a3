// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Conversions between the Win32 HID API's records and texts and the seam's.
// Include only where no core header is included: <windows.h> defines
// macros such as MessageBox.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// windows.h first: the HID headers use its types. They lack the C linkage
// their functions have.
extern "C" {
#include <hidsdi.h>
}

#include <optional>
#include <string>
#include <string_view>

#include "hid/hid_platform.h"

namespace evm::win32 {

std::string Utf8FromWide(std::wstring_view text);
// nullopt when `text` is not valid UTF-8, so a mangled path is never opened.
std::optional<std::wstring> WideFromUtf8(std::string_view text);

// The system's message for an error code without the line break it ends
// with; empty when the system has no text for it.
std::string SystemMessage(DWORD code);

HidCaps CapsFromHidp(const HIDP_CAPS& caps);

struct WaitOutcome {
  HidWaitResult result;
  DWORD error;  // what LastError reports afterwards
};
// What WaitForSingleObject's answer means for a read: the time-out is
// ERROR_TIMEOUT, as the caller's logs expect.
WaitOutcome ReadWaitOutcome(DWORD waitResult, DWORD lastError);

}  // namespace evm::win32
