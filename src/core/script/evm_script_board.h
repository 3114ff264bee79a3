// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "evm.h"
#include "script/script_board.h"

namespace evm {

// Script steps carried out on a context's interface board and test board.
class EvmScriptBoard final : public ScriptBoard {
 public:
  explicit EvmScriptBoard(Evm& evm) : evm_(evm) {}

  std::string SendMnemonic(const std::string& text) override {
    const bool sent = !evm_.shell().RunWithoutUsb;
    evm_.dutWriter().SendMnemonic(text);
    return sent ? evm_.dutWriter().MnemonicError : std::string();
  }
  std::optional<uint8_t> ReadData(int index) override {
    if (index < 0 || index >= kI2CResultSlots) return std::nullopt;
    return evm_.results().I2C_ReadData[static_cast<size_t>(index)];
  }
  double ReadCnv(Converter which, Reference mode) override {
    return evm_.calBoard().ReadCnv(which, mode);
  }
  std::string SetDac(DacChannel channel, double volts) override {
    const bool sent = !evm_.shell().RunWithoutUsb;
    using Outcome = CalibrationBoard::DacOutcome;
    switch (evm_.calBoard().SetDac(channel, volts, evm_.calBoard().RefMode,
                                   evm_.calBoard().DacAutoCal)) {
      case Outcome::Set:
      case Outcome::OutOfRange: return {};
      case Outcome::NotTaken: return sent ? kDacNotTaken : std::string();
      case Outcome::AutoCalFailed: return kDacAutoCalFailed;
    }
    return {};
  }

  static constexpr const char* kDacNotTaken = "the interface board did not take the DAC write";
  static constexpr const char* kDacAutoCalFailed = "the DAC auto-calibration missed its tolerance";
  void WaitSeconds(double seconds) override { evm_.dutWriter().WaitSeconds(seconds); }

 private:
  Evm& evm_;
};

}  // namespace evm
