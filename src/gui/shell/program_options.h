// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/number_locale.h"

class QLocale;

namespace evm {

struct ProgramOptions {
  bool simulate = false;
  bool help = false;
  bool version = false;
  bool launcher = false;  // open the launcher window, the way to the script engine
  // Render every window into this folder and end; needs the simulated EVM.
  std::optional<std::filesystem::path> screenshots;
  std::optional<std::filesystem::path> configDir;
  std::optional<uint16_t> vendorId;
  int simBoards = 1;    // with --simulate, boards of each kind
  std::string simLoad;  // with --simulate, the devices' load profile
  std::string error;    // non-empty: bad usage, names the argument at fault
};

// The options of zm5520-evm (without the program name); Qt's parser, so it
// needs no application object.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
std::string ProgramUsage(const std::string& programName);

// The separators the program writes and reads numbers with. Core's texts hold
// one byte per separator, so a mark that is not one ASCII character (the
// Arabic decimal mark U+066B, a narrow no-break space for grouping) falls
// back to the point and comma.
NumberLocale NumberLocaleOf(const QLocale& locale);

}  // namespace evm
