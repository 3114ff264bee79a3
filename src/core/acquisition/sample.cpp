// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/sample.h"

#include <limits>

#include "registers/register_map.h"

namespace evm {

Quantities ScaleSample(const Sample& sample, const Scaling& scaling) {
  constexpr double kNotRead = std::numeric_limits<double>::quiet_NaN();
  auto scaled = [&](int reg) {
    if (!sample.Has(reg)) return kNotRead;
    return ScaledValue(reg, sample.registers.values[static_cast<size_t>(reg)], scaling.currentLsb,
                       scaling.powerLsb);
  };
  Quantities q{scaled(1), scaled(2), scaled(3), scaled(4)};
  if (!sample.Has(3) && sample.Has(2) && sample.Has(4)) q.watts = q.amperes * q.busVolts;
  return q;
}

MeasurementRecord RecordOfSample(const Sample& sample, const Scaling& scaling) {
  MeasurementRecord record;
  record.time = sample.at;
  record.registers = sample.registers;
  record.quantities = Scale(sample.registers, scaling);
  return record;
}

}  // namespace evm
