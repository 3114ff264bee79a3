// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/platform.h"

#include "devices/system_hid.h"

namespace evm {

std::unique_ptr<sim::SimulatedEvm> MakeSimulatedEvm(const PlatformOptions& options, Clock& clock) {
  auto simulated =
      sim::SimulatedEvm::CreateDefault(clock, options.vendorId, options.simulatedBoards);
  simulated->TestBoard().referenceVolts = options.simulatedReferenceVolts;
  if (options.simFault) sim::InjectFault(*simulated, *options.simFault);
  return simulated;
}

std::unique_ptr<HidPlatform> MakePlatform(const PlatformOptions& options, Clock& clock) {
  if (options.simulate) return MakeSimulatedEvm(options, clock);
  return MakeSystemHidPlatform();
}

}  // namespace evm
