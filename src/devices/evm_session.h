// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <memory>

#include "devices/platform.h"
#include "evm.h"

namespace evm {

// A context on the platform its options choose: the one place where the
// front ends' contexts are put together (the main window, the screenshot
// tour and evm::Bench, which evmctl and the library use). The clock and the
// user interface are the front end's and must outlive the session.
class EvmSession {
 public:
  EvmSession(const PlatformOptions& platform, Clock& clock, UserInterface& ui,
             const NumberLocale& locale, const std::filesystem::path& stateFolder);
  EvmSession(const EvmSession&) = delete;
  EvmSession& operator=(const EvmSession&) = delete;

  Evm& Context() { return evm_; }
  HidPlatform& Platform() { return *hid_; }

 private:
  std::unique_ptr<HidPlatform> hid_;
  Evm evm_;
};

}  // namespace evm
