// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "common/clock.h"
#include "devices/platform.h"
#include "evm.h"
#include "hid/board_ids.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace evm::test {

// A context on the default simulated EVM with a fake clock, a recording user
// interface and a fresh state folder.
struct SimContext {
  explicit SimContext(NumberLocale locale = NumberLocale::Point(),
                      const PlatformOptions& options = {.simulate = true})
      : sim(MakeSimulatedEvm(options, clock)),
        evm(EvmSeams{*sim, clock, ui, locale, dir.path(), kDefaultBoardVendorId}) {
    evm.shell.Simulated = true;
  }

  TempDir dir;
  FakeClock clock;
  RecordingUi ui;
  std::unique_ptr<sim::SimulatedEvm> sim;
  Evm evm;
};

}  // namespace evm::test
