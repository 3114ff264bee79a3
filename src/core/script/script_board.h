// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "testboard/test_board_types.h"

namespace evm {

// What a script step does to the test set-up: the interface board's
// transaction and the test board's instruments.
class ScriptBoard {
 public:
  virtual ~ScriptBoard() = default;
  // Empty when the text was understood (and sent); otherwise why it was not.
  virtual std::string SendMnemonic(const std::string& text) = 0;
  // Byte `index` of the latest transaction's reads; empty when none was read.
  virtual std::optional<uint8_t> ReadData(int index) = 0;
  virtual double ReadCnv(Converter which, Reference mode) = 0;
  // volts in 0 < v <= 5. Empty when the DAC was set (or nothing could be
  // sent); otherwise why it was not.
  virtual std::string SetDac(DacChannel channel, double volts) = 0;
  virtual void WaitSeconds(double seconds) = 0;
};

}  // namespace evm
