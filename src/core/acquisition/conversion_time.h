// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace evm {

// How the device converts, by the mode field of register 00h.
enum class ConversionMode { PowerDown, Triggered, Continuous };

ConversionMode ModeOfConfig(uint16_t config);

// Microseconds one conversion takes for a 4-bit ADC field of register 00h
// (resolution, or the number of averages at 12 bits).
int ConversionMicroseconds(int adcCode);

// Microseconds from the start of a conversion set to its end: the shunt,
// then the bus, as far as the mode enables each; 0 when powered down.
int64_t ConversionSetMicroseconds(uint16_t config);

}  // namespace evm
