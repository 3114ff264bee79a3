// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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
  // With `simulate`: the load profile of every device (see sim::LoadProfile);
  // empty keeps each device's constant load.
  std::string simLoad{};
  // With `simulate`: the USB frame in milliseconds; 0 answers at once.
  double simFrameMs = 1.0;
};

// The longest USB frame a simulation takes, in milliseconds.
inline constexpr double kMaxSimFrameMs = 1000.0;

// The simulated EVM set up from the options, for callers that also inject
// faults into it. Throws std::invalid_argument, with the reason, for a load
// profile or frame the simulation cannot take; callers that read them from a
// user check them first.
std::unique_ptr<sim::SimulatedEvm> MakeSimulatedEvm(const PlatformOptions& options, Clock& clock);

// The one place that chooses between the USB boards and the simulation.
std::unique_ptr<HidPlatform> MakePlatform(const PlatformOptions& options, Clock& clock);

}  // namespace evm
