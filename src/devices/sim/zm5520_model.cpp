// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/zm5520_model.h"

#include <algorithm>
#include <cmath>

#include "registers/config_fields.h"

namespace evm::sim {

namespace {
constexpr int kConfig = 0, kShunt = 1, kBus = 2, kPower = 3, kCurrent = 4, kCal = 5, kTrimCtl = 6;
constexpr uint16_t kConversionReady = 0x2, kOverflow = 0x1;

// The latest of a series of events at firstUs, firstUs + periodUs, ... by
// `nowUs`; -1 before the first. A triggered conversion happens once.
int64_t Latest(int64_t nowUs, int64_t firstUs, int64_t periodUs, bool once) {
  if (nowUs < firstUs) return -1;
  return once ? 0 : (nowUs - firstUs) / periodUs;
}
}  // namespace

Zm5520Model::Zm5520Model() {
  Reset();
}

void Zm5520Model::AttachClock(std::function<int64_t()> nowUs) {
  nowUs_ = std::move(nowUs);
  Restart();
}

int64_t Zm5520Model::ConversionUs(int adcCode) {
  // 9 to 12 bits (bit 3 clear, bit 2 ignored), then 2 to 128 averages of 12 bits.
  static constexpr int64_t kBits[4] = {84, 148, 276, 532};
  static constexpr int64_t kAveraged[8] = {532, 1060, 2130, 4260, 8510, 17020, 34050, 68100};
  return (adcCode & 0x8) ? kAveraged[adcCode & 0x7] : kBits[adcCode & 0x3];
}

void Zm5520Model::Reset() {
  regs_.fill(0);
  regs_[kConfig] = kConfigDefault;
  overflow_ = false;
  Restart();
}

bool Zm5520Model::IsReadOnly(int pointer) {
  return pointer == kShunt || pointer == kBus || pointer == kPower || pointer == kCurrent ||
         pointer == 7;
}

uint16_t Zm5520Model::Register(int pointer) const {
  const uint16_t value = regs_[static_cast<size_t>(pointer)];
  if (pointer != kBus) return value;
  return static_cast<uint16_t>(value | (conversionReady_ ? kConversionReady : 0) |
                               (overflow_ ? kOverflow : 0));
}

int Zm5520Model::Noise(int64_t atUs, int channel, int span) const {
  if (!load.noise || span <= 0) return 0;
  // A function of the conversion, not of the read: the same conversion
  // always shows the same noise.
  auto x = static_cast<uint32_t>(atUs) * 2654435761u ^ static_cast<uint32_t>(atUs >> 32) ^
           static_cast<uint32_t>(channel) * 0x85EBCA6Bu;
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  return static_cast<int>(x % static_cast<uint32_t>(2 * span + 1)) - span;
}

int Zm5520Model::ShuntCounts(int64_t atUs) const {
  // 10 uV per bit; the attenuator limits the range to 40 mV x divider.
  const LoadValue value = profile.At(static_cast<double>(atUs) / 1e6, {load.amps, load.busVolts});
  const int limit = 4000 * (1 << FieldOf(regs_[kConfig], kConfigPga));
  const int counts =
      static_cast<int>(std::lround(value.amps * load.shuntOhms / 1e-5)) + Noise(atUs, 0, 2);
  return std::clamp(counts, -limit, limit);
}

int Zm5520Model::BusCounts(int64_t atUs) const {
  // 4 mV per bit in bits 15-3.
  const LoadValue value = profile.At(static_cast<double>(atUs) / 1e6, {load.amps, load.busVolts});
  const double fullScale = FieldOf(regs_[kConfig], kConfigBusRange) ? 32.0 : 16.0;
  const double volts = std::clamp(value.volts, 0.0, fullScale);
  return std::clamp(static_cast<int>(std::lround(volts / 0.004)) + Noise(atUs, 1, 1), 0, 8191);
}

void Zm5520Model::Update() {
  const uint16_t config = regs_[kConfig];
  const int mode = FieldOf(config, kConfigMode);
  const bool shuntOn = mode == 1 || mode == 3 || mode == 5 || mode == 7;
  const bool busOn = mode == 2 || mode == 3 || mode == 6 || mode == 7;
  if (!shuntOn && !busOn) return;  // powered down
  const bool once = mode < 4;      // triggered
  const int64_t shuntUs = shuntOn ? ConversionUs(FieldOf(config, kConfigShuntAdc)) : 0;
  const int64_t periodUs = shuntUs + (busOn ? ConversionUs(FieldOf(config, kConfigBusAdc)) : 0);
  const int64_t t0 = sequenceStartUs_;
  const int64_t now = NowUs();
  // Set k converts the shunt by t0 + k * period + shuntUs, the bus by
  // t0 + (k + 1) * period.
  if (shuntOn) {
    const int64_t k = Latest(now, t0 + shuntUs, periodUs, once);
    if (k > lastShunt_) {
      lastShunt_ = k;
      regs_[kShunt] =
          static_cast<uint16_t>(static_cast<int16_t>(ShuntCounts(t0 + k * periodUs + shuntUs)));
    }
  }
  if (busOn) {
    const int64_t k = Latest(now, t0 + periodUs, periodUs, once);
    if (k > lastBus_) {
      lastBus_ = k;
      regs_[kBus] = static_cast<uint16_t>(BusCounts(t0 + (k + 1) * periodUs) << 3);
    }
  }
  const int64_t set = Latest(now, t0 + periodUs, periodUs, once);
  if (set <= lastSet_) return;
  lastSet_ = set;
  conversionReady_ = true;
  // Current and power of that set, though the shunt of the next one may
  // already be in its register.
  const int shunt =
      shuntOn ? ShuntCounts(t0 + set * periodUs + shuntUs) : static_cast<int16_t>(regs_[kShunt]);
  const int bus = busOn ? BusCounts(t0 + (set + 1) * periodUs) << 3 : regs_[kBus];
  const long long current = static_cast<long long>(shunt) * regs_[kCal] / 4096;
  const long long clampedCurrent = std::clamp<long long>(current, -32768, 32767);
  regs_[kCurrent] = static_cast<uint16_t>(static_cast<int16_t>(clampedCurrent));
  const long long power = std::llabs(clampedCurrent) * (bus | kConversionReady) / 40000;
  regs_[kPower] = static_cast<uint16_t>(std::min<long long>(power, 65535));
  overflow_ = std::llabs(current) > 32767;
}

bool Zm5520Model::Powered() {
  if (!supply) return true;
  if (!supply->on) return false;
  if (supply->powerUps != powerUpsSeen_) {
    powerUpsSeen_ = supply->powerUps;
    Reset();
    if (supply->poweredUpAtUs) sequenceStartUs_ = *supply->poweredUpAtUs;
  }
  return true;
}

bool Zm5520Model::Write(uint8_t address7, uint8_t pointer, const std::vector<uint8_t>& data) {
  if (!Powered() || address7 != address || pointer > 7) return false;
  if (data.size() < 2) return true;  // pointer set only
  if (pointer == refusedWritePointer) return false;
  Update();
  const uint16_t value = static_cast<uint16_t>(data[0] << 8 | data[1]);
  if (pointer == kConfig && FieldOf(value, kConfigReset)) {
    Reset();
    return true;
  }
  if (!IsReadOnly(pointer)) regs_[pointer] = value;
  if (pointer == kConfig) Restart();
  (void)kTrimCtl;
  return true;
}

std::optional<std::vector<uint8_t>> Zm5520Model::Read(uint8_t address7, uint8_t pointer,
                                                      int count) {
  if (!Powered() || address7 != address || pointer > 7) return std::nullopt;
  Update();
  std::vector<uint8_t> bytes;
  bytes.reserve(static_cast<size_t>(std::max(count, 0)));
  const uint16_t value = Register(pointer);
  for (int i = 0; i < count; ++i) {
    bytes.push_back(i % 2 == 0 ? static_cast<uint8_t>(value >> 8) : static_cast<uint8_t>(value));
  }
  if (pointer == kPower) conversionReady_ = false;
  return bytes;
}

}  // namespace evm::sim
