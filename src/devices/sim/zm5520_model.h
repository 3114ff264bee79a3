// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "devices/sim/dut_supply.h"

namespace evm::sim {

// What the device's inputs see.
struct SimLoad {
  double busVolts = 12.0;
  double amps = 1.0;
  double shuntOhms = 0.01;
  bool noise = true;  // small, deterministic
};

// The ZM5520/1 monitor at its I2C address: registers 00h-07h with the
// conversions the program expects of it.
class Zm5520Model {
 public:
  static constexpr uint8_t kDefaultAddress = 0x40;
  static constexpr uint16_t kConfigDefault = 0x399F;

  Zm5520Model();

  // A write transaction: pointer, then data bytes. False for a NACK (wrong
  // address or pointer).
  bool Write(uint8_t address7, uint8_t pointer, const std::vector<uint8_t>& data);
  // A read with register pointer; nullopt for a NACK.
  std::optional<std::vector<uint8_t>> Read(uint8_t address7, uint8_t pointer, int count);

  uint16_t Register(int pointer) const { return regs_[static_cast<size_t>(pointer)]; }
  void SetRegisterForTest(int pointer, uint16_t value) {
    regs_[static_cast<size_t>(pointer)] = value;
  }
  static bool IsReadOnly(int pointer);

  SimLoad load;
  uint8_t address = kDefaultAddress;
  // The supply it hangs on; none means always powered.
  const DutSupply* supply = nullptr;
  // A register whose writes are not acknowledged, as a device with a fault
  // on one register would; -1 for none.
  int refusedWritePointer = -1;

 private:
  void Reset();
  // False while unpowered; after a power cycle the registers are reset.
  bool Powered();
  void Convert();
  int Noise(int span);

  std::array<uint16_t, 8> regs_{};
  uint32_t noiseState_ = 12345;
  int powerUpsSeen_ = 0;
};

}  // namespace evm::sim
