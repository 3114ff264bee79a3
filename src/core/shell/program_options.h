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

ProgramOptions ParseProgramOptions(const std::vector<std::string>& args);
std::string ProgramUsage(const std::string& programName);

// "0x3A5F", "3a5f" or "3A5Fh"; nullopt unless it is a 16-bit hexadecimal number.
std::optional<uint16_t> ParseHex16(const std::string& text);

}  // namespace evm
