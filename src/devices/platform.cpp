// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/platform.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "devices/system_hid.h"

namespace evm {

std::unique_ptr<sim::SimulatedEvm> MakeSimulatedEvm(const PlatformOptions& options, Clock& clock) {
  auto simulated =
      sim::SimulatedEvm::CreateDefault(clock, options.vendorId, options.simulatedBoards);
  simulated->TestBoard().referenceVolts = options.simulatedReferenceVolts;
  std::string why;
  const auto profile = sim::LoadProfile::Parse(options.simLoad, &why);
  if (!profile) throw std::invalid_argument(why);
  if (!(options.simFrameMs >= 0 && options.simFrameMs <= kMaxSimFrameMs)) {
    throw std::invalid_argument("the USB frame must be 0 to 1000 ms");
  }
  simulated->SetFrameUs(std::llround(options.simFrameMs * 1000));
  for (const auto& board : simulated->Boards()) {
    if (auto* link = dynamic_cast<sim::RegLinkBoard*>(board.get()))
      link->Device().profile = *profile;
  }
  if (options.simFault) sim::InjectFault(*simulated, *options.simFault);
  return simulated;
}

std::unique_ptr<HidPlatform> MakePlatform(const PlatformOptions& options, Clock& clock) {
  if (options.simulate) return MakeSimulatedEvm(options, clock);
  return MakeSystemHidPlatform();
}

}  // namespace evm
