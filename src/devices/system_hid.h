// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "hid/hid_platform.h"

namespace evm {

// The real USB boards of this system: the Win32 HID API on Windows, hidapi
// elsewhere. The build links exactly one of them.
std::unique_ptr<HidPlatform> MakeSystemHidPlatform();

}  // namespace evm
