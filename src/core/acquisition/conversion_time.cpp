// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/conversion_time.h"

#include <array>
#include <cstddef>

#include "registers/config_fields.h"

namespace evm {

ConversionMode ModeOfConfig(uint16_t config) {
  const int mode = FieldOf(config, kConfigMode);
  if (mode == 0 || mode == 4) return ConversionMode::PowerDown;
  return mode < 4 ? ConversionMode::Triggered : ConversionMode::Continuous;
}

int ConversionMicroseconds(int adcCode) {
  // 0000-0011 and 0100-0111 give 9 to 12 bits; 1000 is 12 bits once more,
  // then 2 to 128 averages of 12-bit conversions.
  static constexpr std::array<int, 16> kMicroseconds = {
      84, 148, 276, 532, 84, 148, 276, 532, 532, 1060, 2130, 4260, 8510, 17020, 34050, 68100};
  return kMicroseconds[static_cast<std::size_t>(adcCode & 0xF)];
}

int64_t ConversionSetMicroseconds(uint16_t config) {
  const int mode = FieldOf(config, kConfigMode);
  if (ModeOfConfig(config) == ConversionMode::PowerDown) return 0;
  int64_t us = 0;
  if (mode & 1) us += ConversionMicroseconds(FieldOf(config, kConfigShuntAdc));
  if (mode & 2) us += ConversionMicroseconds(FieldOf(config, kConfigBusAdc));
  return us;
}

}  // namespace evm
