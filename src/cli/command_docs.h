// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace evm::cli {

// The completion scripts and the manual's command and option sections, made
// from the command table, so they name what the parser takes.
std::string BashCompletion();
std::string ZshCompletion();
std::string ManCommands();
std::string ManOptions();

}  // namespace evm::cli
