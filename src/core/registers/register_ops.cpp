// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_ops.h"

#include <algorithm>

#include "registers/register_map.h"
#include "reglink/register_link.h"

namespace evm {

bool RegisterRead::AllAcknowledged() const {
  return std::all_of(acknowledged.begin(), acknowledged.begin() + lastReg + 1,
                     [](bool a) { return a; });
}

RegisterRead ReadRegisters(RegisterLink& link, int deviceAddress, int lastReg) {
  RegisterRead read;
  read.deviceAddress = deviceAddress;
  read.lastReg = std::clamp(lastReg, 0, kDeviceRegs - 1);
  for (int i = 0; i <= read.lastReg; ++i) {
    uint8_t data[2] = {0, 0};
    const auto s = static_cast<size_t>(i);
    read.acknowledged[s] = link.I2CRead(deviceAddress, i, 2, data, RegisterLink::kRegisterSettleMs);
    // The pass ends at the first register not acknowledged: on a silent
    // link each further read would wait out a time-out of its own. The rest
    // stay unacknowledged.
    if (!read.acknowledged[s]) break;
    read.values[s] = static_cast<uint16_t>(data[0] * 256 + data[1]);
  }
  return read;
}

Quantities Scale(const RegisterRead& read, const Scaling& scaling) {
  auto scaled = [&](int reg) {
    return ScaledValue(reg, read.values[static_cast<size_t>(reg)], scaling.currentLsb,
                       scaling.powerLsb);
  };
  return Quantities{scaled(1), scaled(2), scaled(3), scaled(4)};
}

WriteCheck WriteRegisterVerified(RegisterLink& link, int deviceAddress, int reg, uint16_t value) {
  WriteCheck check;
  check.wanted = value;
  check.written = WriteRegisters(link, deviceAddress, {{reg, value}}).AllTaken();
  if (!check.written) return check;
  uint8_t data[2] = {0, 0};
  check.readBack = link.I2CRead(deviceAddress, reg, 2, data, RegisterLink::kRegisterSettleMs);
  if (check.readBack) check.got = static_cast<uint16_t>(data[0] * 256 + data[1]);
  return check;
}

MeasurementRecord MeasureOnce(RegisterLink& link, Clock& clock, int deviceAddress, int lastReg,
                              const Scaling& scaling) {
  MeasurementRecord record;
  record.registers = ReadRegisters(link, deviceAddress, lastReg);
  record.quantities = Scale(record.registers, scaling);
  record.time = clock.Now();
  return record;
}

WritesDone WriteRegisters(RegisterLink& link, int deviceAddress,
                          const std::vector<RegisterWrite>& writes) {
  WritesDone done;
  for (const RegisterWrite& w : writes) {
    if (!link.WriteRegWord(deviceAddress, w.reg, static_cast<uint8_t>(w.value >> 8),
                           static_cast<uint8_t>(w.value & 0xFF))) {
      done.refusedReg = w.reg;
      break;
    }
    ++done.taken;
  }
  return done;
}

WritesDone WriteChangedRegisters(RegisterLink& link, const RegisterRead& present,
                                 const std::array<int32_t, kDeviceRegs>& wanted) {
  std::vector<RegisterWrite> writes;
  for (int i = 0; i <= present.lastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    if (wanted[s] != present.values[s]) writes.push_back({i, static_cast<uint16_t>(wanted[s])});
  }
  return WriteRegisters(link, present.deviceAddress, writes);
}

}  // namespace evm
