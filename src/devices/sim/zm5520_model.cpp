// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/zm5520_model.h"

#include <algorithm>
#include <cmath>

#include "registers/config_fields.h"

namespace evm::sim {

namespace {
constexpr int kConfig = 0, kShunt = 1, kBus = 2, kPower = 3, kCurrent = 4, kCal = 5, kTrimCtl = 6;
}  // namespace

Zm5520Model::Zm5520Model() {
  Reset();
}

void Zm5520Model::Reset() {
  regs_.fill(0);
  regs_[kConfig] = kConfigDefault;
}

bool Zm5520Model::IsReadOnly(int pointer) {
  return pointer == kShunt || pointer == kBus || pointer == kPower || pointer == kCurrent ||
         pointer == 7;
}

int Zm5520Model::Noise(int span) {
  if (!load.noise || span <= 0) return 0;
  noiseState_ = noiseState_ * 1103515245u + 12345u;
  return static_cast<int>((noiseState_ >> 16) % static_cast<uint32_t>(2 * span + 1)) - span;
}

void Zm5520Model::Convert() {
  const uint16_t config = regs_[kConfig];
  const int mode = FieldOf(config, kConfigMode);
  const bool shuntOn = mode == 1 || mode == 3 || mode == 5 || mode == 7;
  const bool busOn = mode == 2 || mode == 3 || mode == 6 || mode == 7;
  if (shuntOn) {
    // 10 uV per bit; the attenuator limits the range to 40 mV x divider.
    const int divider = 1 << FieldOf(config, kConfigPga);
    const int limit = 4000 * divider;
    int counts = static_cast<int>(std::lround(load.amps * load.shuntOhms / 1e-5)) + Noise(2);
    counts = std::clamp(counts, -limit, limit);
    regs_[kShunt] = static_cast<uint16_t>(static_cast<int16_t>(counts));
  }
  if (busOn) {
    // 4 mV per bit in bits 15-3, conversion-ready in bit 1, overflow in bit 0.
    const double fullScale = FieldOf(config, kConfigBusRange) ? 32.0 : 16.0;
    const double volts = std::clamp(load.busVolts, 0.0, fullScale);
    int counts = static_cast<int>(std::lround(volts / 0.004)) + Noise(1);
    counts = std::clamp(counts, 0, 8191);
    regs_[kBus] = static_cast<uint16_t>((counts << 3) | 0x2);
  }
  const int shunt = static_cast<int16_t>(regs_[kShunt]);
  const long long current = static_cast<long long>(shunt) * regs_[kCal] / 4096;
  const long long clampedCurrent = std::clamp<long long>(current, -32768, 32767);
  regs_[kCurrent] = static_cast<uint16_t>(static_cast<int16_t>(clampedCurrent));
  const long long power = std::llabs(clampedCurrent) * regs_[kBus] / 40000;
  regs_[kPower] = static_cast<uint16_t>(std::min<long long>(power, 65535));
  if (std::llabs(current) > 32767) regs_[kBus] |= 0x1;
}

bool Zm5520Model::Powered() {
  if (!supply) return true;
  if (!supply->on) return false;
  if (supply->powerUps != powerUpsSeen_) {
    powerUpsSeen_ = supply->powerUps;
    Reset();
  }
  return true;
}

bool Zm5520Model::Write(uint8_t address7, uint8_t pointer, const std::vector<uint8_t>& data) {
  if (!Powered() || address7 != address || pointer > 7) return false;
  if (data.size() < 2) return true;  // pointer set only
  if (pointer == refusedWritePointer) return false;
  const uint16_t value = static_cast<uint16_t>(data[0] << 8 | data[1]);
  if (pointer == kConfig && FieldOf(value, kConfigReset)) {
    Reset();
    return true;
  }
  if (!IsReadOnly(pointer)) regs_[pointer] = value;
  (void)kTrimCtl;
  return true;
}

std::optional<std::vector<uint8_t>> Zm5520Model::Read(uint8_t address7, uint8_t pointer,
                                                      int count) {
  if (!Powered() || address7 != address || pointer > 7) return std::nullopt;
  Convert();
  std::vector<uint8_t> bytes;
  const uint16_t value = regs_[pointer];
  for (int i = 0; i < count; ++i) {
    bytes.push_back(i % 2 == 0 ? static_cast<uint8_t>(value >> 8) : static_cast<uint8_t>(value));
  }
  return bytes;
}

}  // namespace evm::sim
