// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "common/clock.h"
#include "devices/sim/sim_faults.h"
#include "devices/sim/simulated_evm.h"
#include "hid/board_ids.h"
#include "hid/hid_platform.h"

namespace evm {

// What the program runs on, from its options.
struct PlatformOptions {
  bool simulate = false;
  uint16_t vendorId = kDefaultBoardVendorId;
  // The reference the simulated test board carries (its jumper).
  double simulatedReferenceVolts = 5.0;
  // With `simulate`: one board misbehaves for the whole run.
  std::optional<sim::SimFaultChoice> simFault = std::nullopt;
  // With `simulate`: how many register links and interface boards.
  int simulatedBoards = 1;
};

// The simulated EVM set up from the options, for callers that also inject
// faults into it.
std::unique_ptr<sim::SimulatedEvm> MakeSimulatedEvm(const PlatformOptions& options, Clock& clock);

// The one place that chooses between the USB boards and the simulation.
std::unique_ptr<HidPlatform> MakePlatform(const PlatformOptions& options, Clock& clock);

}  // namespace evm
