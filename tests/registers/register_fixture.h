// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>
#include <vector>

#include "registers/register_cycle.h"
#include "shell/main_load.h"
#include "support/sim_fixture.h"

namespace evm::test {

// A simulated EVM after the register side of the main window's load.
struct RegContext : SimContext {
  explicit RegContext(NumberLocale locale = NumberLocale::Point()) : SimContext(locale) {
    evm.shell().DecimalComma = DecimalCommaOf(evm.locale());
    InitRegisters(evm, panels);
  }

  sim::RegLinkBoard& Board() { return *sim->RegLink(); }
  sim::Zm5520Model& Device() { return Board().Device(); }
  RegisterStore& Store() { return evm.registers(); }
  RegisterPanel& Panel() { return panels.registerPanel; }
  const std::string& Cell(int row, int col) { return Panel().gridReg.Text(row, col); }

  // (pointer, value) of the register writes the board received, in order.
  std::vector<std::pair<int, int>> Writes() {
    std::vector<std::pair<int, int>> writes;
    for (const auto& r : Board().Requests()) {
      if (r.size() >= 6 && r[0] == 0x14) writes.emplace_back(r[2], r[4] * 256 + r[5]);
    }
    return writes;
  }
  // Pointers of the register reads the board received, in order.
  std::vector<int> Reads() {
    std::vector<int> reads;
    for (const auto& r : Board().Requests()) {
      if (r.size() >= 3 && r[0] == 0x15) reads.push_back(r[2]);
    }
    return reads;
  }
};

}  // namespace evm::test
