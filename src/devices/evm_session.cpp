// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/evm_session.h"

namespace evm {

EvmSession::EvmSession(const PlatformOptions& platform, Clock& clock, UserInterface& ui,
                       const NumberLocale& locale, const std::filesystem::path& stateFolder)
    : hid_(MakePlatform(platform, clock)),
      evm_(EvmSeams{*hid_, clock, ui, locale, stateFolder, platform.vendorId}) {
  // Said in the status bar, so simulated readings are not taken for real ones.
  evm_.shell().Simulated = platform.simulate;
}

}  // namespace evm
