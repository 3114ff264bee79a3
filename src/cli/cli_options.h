// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/clock.h"
#include "devices/sim/sim_faults.h"

namespace evm::cli {

enum ExitCode {
  kExitOk = 0,
  kExitFailed = 1,
  kExitUsage = 2,
  kExitNoBoard = 3,
  // Ended by Ctrl-C or a termination request, as shells count it.
  kExitInterrupted = 130,
};

// Where a run of evmctl talks to and what it waits with.
struct EvmctlIo {
  std::ostream& out;
  std::ostream& err;
  Clock& clock;
  // Set when the user asks the run to end (Ctrl-C); loops stop at the next
  // pass or row and keep what they did.
  const std::atomic<bool>* stop = nullptr;
  // Standard error is a terminal: long runs say how far they got.
  bool progress = false;
};

struct CliOptions {
  bool simulate = false;
  std::optional<sim::SimFaultChoice> simFault;  // injected into the simulated EVM
  bool json = false;
  int deviceAddress = 0x40;
  std::optional<uint16_t> usbAddress;
  uint16_t vendorId = 0;
  std::optional<std::filesystem::path> configDir;
  // Boards chosen for this run only, by serial number or path.
  std::optional<std::string> regLink;
  std::optional<std::string> interfaceBoard;
  int simBoards = 1;
  std::string simLoad;      // the load profile of the simulated devices
  double simFrameMs = 1.0;  // the simulated USB frame
  bool simFast = false;     // the simulated EVM on virtual time
  bool keepBlank = false;   // no calibration for a device whose 05h is 0
  std::string command;
  std::vector<std::string> args;  // the command's positional arguments
  // The command's own options by name ("--rshunt"), flags with an empty value.
  std::vector<std::pair<std::string, std::string>> values;

  std::optional<std::string> Value(const std::string& name) const;
  bool Flag(const std::string& name) const { return Value(name).has_value(); }
};

}  // namespace evm::cli
