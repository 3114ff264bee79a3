// SPDX-License-Identifier: GPL-3.0-or-later
#include "mnemonic/mnemonic_exchange.h"

#include <algorithm>

namespace evm {

bool MnemonicExchange::Acknowledged() const {
  return std::all_of(acks.begin(), acks.end(), [](uint8_t a) { return a == 0; });
}

MnemonicExchange SendMnemonicText(UsbDutWriter& writer, const std::string& text) {
  MnemonicExchange x;
  const I2CResults& results = writer.Results();
  x.answered = writer.SendMnemonic(text);
  x.outcome = writer.LastOutcome();
  std::copy_n(writer.MnemonicReport.begin(), x.command.size(), x.command.begin());
  std::copy_n(writer.ResponseData.begin(), x.answer.size(), x.answer.begin());
  for (int i = 0; i < writer.ReadCount; ++i) {
    x.reads.push_back(results.I2C_ReadData[static_cast<size_t>(i)].value_or(0));
  }
  for (int i = 0; i < writer.AckCount; ++i) {
    x.acks.push_back(results.I2C_AckStatus[static_cast<size_t>(i)]);
  }
  return x;
}

}  // namespace evm
