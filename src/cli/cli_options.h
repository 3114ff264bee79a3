#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "devices/sim/sim_faults.h"

namespace evm::cli {

enum ExitCode { kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitNoBoard = 3 };

struct CliOptions {
  bool simulate = false;
  std::optional<sim::SimFaultChoice> simFault;  // injected into the simulated EVM
  bool json = false;
  bool help = false;
  bool version = false;
  int deviceAddress = 0x40;
  std::optional<uint16_t> usbAddress;
  std::optional<uint16_t> vendorId;
  std::optional<std::filesystem::path> configDir;
  std::string command;
  std::vector<std::string> args;  // the command's own arguments and options
  std::string error;              // bad usage, naming the argument at fault
};

CliOptions ParseCliOptions(const std::vector<std::string>& argv);

// The value of "--name V" or "--name=V" among a command's arguments; the pair
// is removed from args. Sets `error` when the name has no value.
std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name,
                                      std::string& error);
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

}  // namespace evm::cli
