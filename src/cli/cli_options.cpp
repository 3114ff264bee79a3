// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/cli_options.h"

namespace evm::cli {

std::optional<std::string> CliOptions::Value(const std::string& name) const {
  for (const auto& [key, value] : values) {
    if (key == name) return value;
  }
  return std::nullopt;
}

}  // namespace evm::cli
