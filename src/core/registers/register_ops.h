// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "common/clock.h"
#include "registers/register_store.h"

namespace evm {

class RegisterLink;

// Operations on the ZM5520/1's registers over the register link: numbers in,
// numbers out, no panel and no message. The main window's handlers and
// evmctl are both built on them.

// Registers 00h to `lastReg` as one pass read them. A pass ends at the
// first register not acknowledged; those after it count as not acknowledged.
struct RegisterRead {
  int deviceAddress = 0x40;
  int lastReg = kNormalLastReg;
  std::array<uint16_t, kDeviceRegs> values{};
  std::array<bool, kDeviceRegs> acknowledged{};

  bool AllAcknowledged() const;
};

RegisterRead ReadRegisters(RegisterLink& link, int deviceAddress, int lastReg);

// The least significant bits of current and power, which the calibration
// fixes; zero when there is none.
struct Scaling {
  double currentLsb = 0;
  double powerLsb = 0;
};

struct Quantities {
  double shuntVolts = 0;
  double busVolts = 0;
  double watts = 0;
  double amperes = 0;
};

Quantities Scale(const RegisterRead& read, const Scaling& scaling);

// A register written and read back.
struct WriteCheck {
  bool written = false;
  bool readBack = false;
  uint16_t wanted = 0;
  uint16_t got = 0;

  bool Matches() const { return written && readBack && got == wanted; }
};

// Not read back when the write was refused: a link that went silent costs
// one time-out, not two.
WriteCheck WriteRegisterVerified(RegisterLink& link, int deviceAddress, int reg, uint16_t value);

// The one way registers are written: in the order given, ending at the first
// write the link or the device refuses, so that nothing is sent after it.
struct RegisterWrite {
  int reg = 0;
  uint16_t value = 0;
};
struct WritesDone {
  size_t taken = 0;     // the first `taken` writes went through
  int refusedReg = -1;  // the register of the write refused, -1: none
  bool AllTaken() const { return refusedReg < 0; }
};
WritesDone WriteRegisters(RegisterLink& link, int deviceAddress,
                          const std::vector<RegisterWrite>& writes);

// One pass of the continuous reading: the registers, what they mean, and when.
struct MeasurementRecord {
  DateTime time;
  RegisterRead registers;
  Quantities quantities;
};

MeasurementRecord MeasureOnce(RegisterLink& link, Clock& clock, int deviceAddress, int lastReg,
                              const Scaling& scaling);

// Registers 00h to `lastReg` of `wanted` that differ from `present` are
// written, in ascending order, up to the first refused.
WritesDone WriteChangedRegisters(RegisterLink& link, const RegisterRead& present,
                                 const std::array<int32_t, kDeviceRegs>& wanted);

}  // namespace evm
