// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mnemonic/usb_dut_writer.h"

namespace evm {

// One mnemonic command as it went to the interface board and came back.
struct MnemonicExchange {
  std::array<uint8_t, 32> command{};
  std::array<uint8_t, 32> answer{};
  std::vector<uint8_t> reads;
  std::vector<uint8_t> acks;
  bool answered = false;
  // Not sent, not answered, stopped, or not acknowledged.
  BoardOutcome outcome;

  // Every acknowledge bit of the transaction is 00.
  bool Acknowledged() const;
};

// Sends `text` (already known to parse) and decodes the answer.
MnemonicExchange SendMnemonicText(UsbDutWriter& writer, const std::string& text);

}  // namespace evm
