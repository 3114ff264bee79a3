// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>

#include "common/user_interface.h"
#include "script/script_board.h"
#include "script/script_grid.h"

namespace evm {

// The board of a run that a window watches: a wait goes in short slices with
// the window's events handled between them, so the window keeps painting.
// Exit Loop lets a wait run out, since a pause is the settle time of the
// rows after it; a run that ends (the window closes) ends it at once.
class RespondingBoard final : public ScriptBoard {
 public:
  static constexpr double kSliceSeconds = 0.05;

  RespondingBoard(ScriptBoard& inner, UserInterface& ui, const ScriptGrid& grid)
      : inner_(inner), ui_(ui), grid_(grid) {}

  std::string SendMnemonic(const std::string& text) override { return inner_.SendMnemonic(text); }
  std::optional<uint8_t> ReadData(int index) override { return inner_.ReadData(index); }
  double ReadCnv(Converter which, Reference mode) override { return inner_.ReadCnv(which, mode); }
  std::string SetDac(DacChannel channel, double volts) override {
    return inner_.SetDac(channel, volts);
  }
  void WaitSeconds(double seconds) override {
    for (double left = seconds; left > 0; left -= kSliceSeconds) {
      inner_.WaitSeconds(std::min(left, kSliceSeconds));
      ui_.ProcessEvents();
      if (grid_.EndRun) return;
    }
  }

 private:
  ScriptBoard& inner_;
  UserInterface& ui_;
  const ScriptGrid& grid_;
};

}  // namespace evm
