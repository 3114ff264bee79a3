// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "common/clock.h"
#include "registers/register_ops.h"
#include "zm5520evm/results.h"

namespace evm {

// One sample as read, before any scaling: the run that reads it knows the
// registers, the consumer knows the calibration.
struct Sample {
  // Seconds since 1970-01-01 in local time, at the reply that completed the
  // sample, to the microsecond the clock gives.
  double time = 0;
  // The clock's date and time after the pass, as the pass log records it.
  DateTime at{};
  // Registers read; in the fast modes register 00h is the one the run
  // started with, and only those in `readMask` were read.
  RegisterRead registers;
  uint8_t readMask = 0;
  // Every register of the sample answered; otherwise the values are no
  // measurement (a pass stops at its first unanswered register).
  bool acknowledged = true;

  bool Has(int reg) const { return (readMask >> reg) & 1; }
};

// A sample in volts, amperes and watts. A quantity that was not read is
// NaN, but for the power of a sample without its power register, which is
// current times bus voltage.
Quantities ScaleSample(const Sample& sample, const Scaling& scaling);

// The pass-log record of a sample of the continuous read.
MeasurementRecord RecordOfSample(const Sample& sample, const Scaling& scaling);

}  // namespace evm
