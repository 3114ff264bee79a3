// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "devices/platform.h"
#include "evm.h"
#include "hid/board_ids.h"
#include "main_panels.h"
#include "mnemonic/mnemonic_language.h"
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
    evm.shell().Simulated = true;
  }

  TempDir dir;
  FakeClock clock;
  RecordingUi ui;
  std::unique_ptr<sim::SimulatedEvm> sim;
  Evm evm;
  // What the main window would show; the window tests own theirs.
  MainPanels panels;
};

// ... and the interface board's address, as the main window's load leaves it.
struct InterfaceContext : SimContext {
  explicit InterfaceContext(NumberLocale locale = NumberLocale::Point()) : SimContext(locale) {
    evm.shell().UsbAddress = 0x2F90;
  }
  sim::InterfaceBoard& Interface() { return *sim->Interface(); }
  // The interface board's reports from the `from`th on, each as the text of
  // its first `bytes` bytes ("4 5 81").
  std::vector<std::string> Sent(size_t from = 0, size_t bytes = 3) {
    std::vector<std::string> out;
    const auto& reports = Interface().Reports();
    for (size_t i = from; i < reports.size(); ++i) {
      std::string text;
      for (size_t b = 0; b < bytes; ++b) text += (b ? " " : "") + HexText(reports[i][b]);
      out.push_back(text);
    }
    return out;
  }
};

}  // namespace evm::test
