// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace evm::sim {

// A device on one of the interface board's I2C buses. The bus calls Start
// when the device's address went out, then byte writes or reads, then Stop.
class SimI2CSlave {
 public:
  virtual ~SimI2CSlave() = default;
  virtual uint8_t Address7() const = 0;
  // False leaves the address unacknowledged (a device that is switched off).
  virtual bool Start(bool read) = 0;
  // True for an acknowledge.
  virtual bool WriteByte(uint8_t value) = 0;
  virtual uint8_t ReadByte() = 0;
  virtual void Stop() {}
};

}  // namespace evm::sim
