#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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
  int simBoards = 1;  // with --simulate, boards of each kind
  std::string error;  // non-empty: bad usage, names the argument at fault
};

// The options of zm5520-evm (without the program name); Qt's parser, so it
// needs no application object.
ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
std::string ProgramUsage(const std::string& programName);

}  // namespace evm
