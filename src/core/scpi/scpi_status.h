// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "scpi/scpi_errors.h"

namespace evm::scpi {

// Bits of the standard event status register (*ESR?).
enum EventBit : uint8_t {
  kOperationComplete = 0x01,
  kQueryError = 0x04,
  kDeviceError = 0x08,
  kExecutionErrorBit = 0x10,
  kCommandErrorBit = 0x20,
  kPowerOn = 0x80,
};

// Bits of the status byte (*STB?).
enum StatusBit : uint8_t {
  kErrorAvailable = 0x04,
  kEventSummary = 0x20,
  kMasterSummary = 0x40,
};

// The status model of one client: its error queue, the event register and
// the enable masks that summarise them into the status byte.
class StatusModel {
 public:
  // Queues the error and sets the event bit of its class.
  void Report(int code, std::string info = {});
  // *ESR?: the register, cleared by reading.
  uint8_t ReadEvents();
  void SetEvent(uint8_t bits) { events_ |= bits; }
  uint8_t StatusByte() const;
  // *CLS: events and errors; the enable masks stay.
  void Clear();

  ErrorQueue errors;
  uint8_t eventEnable = 0;    // *ESE
  uint8_t serviceEnable = 0;  // *SRE

 private:
  uint8_t events_ = 0;
};

// The event bit an error number sets.
uint8_t EventBitOf(int code);

}  // namespace evm::scpi
