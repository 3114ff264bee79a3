// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace evm::cli {

// The whole program: parses `args` (without the program name), runs the
// command and returns the exit status.
int RunEvmctl(const std::vector<std::string>& args, const EvmctlIo& io);

}  // namespace evm::cli
