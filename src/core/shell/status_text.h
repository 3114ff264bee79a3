// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "evm.h"

namespace evm {

// The main window's status line: which boards are in use (or none), and the
// continuous read and log in progress.
std::string StatusText(const Evm& evm);

// Which boards the search for the register link looked for, and whether
// devices were met that could not be opened.
std::string UsbSearchDetail(const Evm& evm);

}  // namespace evm
