// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "devices/sim/dut_supply.h"
#include "devices/sim/sim_load.h"

namespace evm::sim {

// What the device's inputs see when no load profile says otherwise.
struct SimLoad {
  double busVolts = 12.0;
  double amps = 1.0;
  double shuntOhms = 0.01;
  bool noise = true;  // small, deterministic
};

// The ZM5520/1 monitor at its I2C address: registers 00h-07h, converting
// on its own clock. In the continuous modes it converts the shunt, then the
// bus, over and over, with the times register 00h selects; a triggered mode
// converts one set per write of register 00h. The result registers change
// only when a conversion completes, with the load at that instant, and the
// conversion-ready bit tells that a set completed since power was read.
// Between two accesses only the latest conversions are worked out, however
// many passed, so a long gap costs nothing.
class Zm5520Model {
 public:
  static constexpr uint8_t kDefaultAddress = 0x40;
  static constexpr uint16_t kConfigDefault = 0x399F;

  Zm5520Model();

  // The time source in microseconds; the device powers up now. Without one
  // time stands still at 0, and nothing converts.
  void AttachClock(std::function<int64_t()> nowUs);
  // How long one conversion takes for a code of the bus or shunt ADC field.
  static int64_t ConversionUs(int adcCode);

  // A write transaction: pointer, then data bytes. False for a NACK (wrong
  // address or pointer).
  bool Write(uint8_t address7, uint8_t pointer, const std::vector<uint8_t>& data);
  // A read with register pointer; nullopt for a NACK.
  std::optional<std::vector<uint8_t>> Read(uint8_t address7, uint8_t pointer, int count);

  // As a read would show it, without a read's effects.
  uint16_t Register(int pointer) const;
  void SetRegisterForTest(int pointer, uint16_t value) {
    regs_[static_cast<size_t>(pointer)] = value;
  }
  static bool IsReadOnly(int pointer);

  SimLoad load;
  // Evaluated at each conversion's completion, in seconds of the clock.
  LoadProfile profile;
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
  int64_t NowUs() const { return nowUs_ ? nowUs_() : 0; }
  // Brings the result registers up to the conversions completed by now.
  void Update();
  void Restart() {
    sequenceStartUs_ = NowUs();
    lastShunt_ = lastBus_ = lastSet_ = -1;
    conversionReady_ = false;
  }
  int ShuntCounts(int64_t atUs) const;
  int BusCounts(int64_t atUs) const;
  int Noise(int64_t atUs, int channel, int span) const;

  std::array<uint16_t, 8> regs_{};
  int powerUpsSeen_ = 0;
  std::function<int64_t()> nowUs_;
  int64_t sequenceStartUs_ = 0;
  // Index of the latest conversion of each kind, and of the latest set,
  // since the sequence started; -1 for none.
  int64_t lastShunt_ = -1;
  int64_t lastBus_ = -1;
  int64_t lastSet_ = -1;
  bool conversionReady_ = false;
  bool overflow_ = false;
};

}  // namespace evm::sim
