// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "script/script_board.h"

namespace evm::test {

// Records what a script asked of the board and answers reads from a table.
class FakeScriptBoard final : public ScriptBoard {
 public:
  explicit FakeScriptBoard(Clock& clock) : clock_(clock) {}
  std::string SendMnemonic(const std::string& text) override {
    sent.push_back(text);
    return {};
  }
  std::optional<uint8_t> ReadData(int index) override {
    return index >= 0 && index < 41 ? data[static_cast<size_t>(index)] : std::nullopt;
  }
  double ReadCnv(Converter which, Reference) override {
    return which == Converter::Cnv1 ? cnv1 : cnv2;
  }
  std::string SetDac(DacChannel channel, double volts) override {
    dac.push_back({static_cast<char>('A' + static_cast<int>(channel)), volts});
    return {};
  }
  void WaitSeconds(double seconds) override {
    waits.push_back(seconds);
    clock_.SleepMs(static_cast<int64_t>(seconds * 1000));
  }

  std::vector<std::string> sent;
  std::array<std::optional<uint8_t>, 41> data{};
  double cnv1 = 0, cnv2 = 0;
  std::vector<std::pair<char, double>> dac;
  std::vector<double> waits;

 private:
  Clock& clock_;
};

}  // namespace evm::test
