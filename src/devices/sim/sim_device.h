// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devices/sim/sim_faults.h"
#include "hid/hid_platform.h"

namespace evm::sim {

// Capabilities of a vendor-defined board with one report each way.
inline HidCaps VendorReportCaps(uint16_t usagePage, uint16_t reportLength) {
  HidCaps caps;
  caps.usage = 1;
  caps.usagePage = usagePage;
  caps.inputReportByteLength = reportLength;
  caps.outputReportByteLength = reportLength;
  caps.numberLinkCollectionNodes = 1;
  caps.numberInputValueCaps = 1;
  caps.numberInputDataIndices = 1;
  caps.numberOutputValueCaps = 1;
  caps.numberOutputDataIndices = 1;
  return caps;
}

// How many reports a board keeps for inspection.
inline constexpr size_t kSimHistoryLength = 1024;

inline void RememberReport(std::deque<std::vector<uint8_t>>& history, std::vector<uint8_t> report) {
  if (history.size() >= kSimHistoryLength) history.pop_front();
  history.push_back(std::move(report));
}

// One simulated USB HID board on the simulated bus. The platform delivers
// output reports to it and queues what it answers as input reports.
class SimDevice {
 public:
  virtual ~SimDevice() = default;

  virtual uint16_t VendorId() const = 0;
  virtual uint16_t ProductId() const = 0;
  virtual uint16_t VersionNumber() const { return 0x0100; }
  virtual HidCaps Caps() const = 0;
  // `report` carries the report id in byte 0. Returns the input report to
  // queue (report id in byte 0), or nullopt when the board stays silent.
  virtual std::optional<std::vector<uint8_t>> HandleOutputReport(
      const std::vector<uint8_t>& report) = 0;

  // Switches a fault on in the board's own protocol. The faults of the wire
  // are common to all boards; a board adds those of its answers.
  virtual void Inject(SimFault fault) {
    switch (fault) {
      case SimFault::NoBoard: plugged = false; break;
      case SimFault::NoReply: noReply = true; break;
      case SimFault::WriteFailure: writeFails = true; break;
      case SimFault::ReadFailure: readFails = true; break;
      case SimFault::NoPermission: openRefused = true; break;
      default: break;
    }
  }

  // Faults any board can show on the wire.
  bool plugged = true;      // false: absent from enumeration, opens fail, and
                            // the handles opened before are dead for good
  bool noReply = false;     // reports are taken but never answered
  bool writeFails = false;  // the output report write itself fails
  bool readFails = false;   // a read ends in a device error, not a time-out
  int replyDelayMs = 0;     // every answer comes this much clock time late
  std::string path;         // set by the platform when the board is added
  // What the enumeration lists besides the ids; a bench with several boards
  // of one kind tells them apart by the serial.
  std::string serial;
  std::string product;

  // Listed, but every open is refused, as the system does with the keyboards
  // and mice it keeps for itself.
  bool openRefused = false;
};

}  // namespace evm::sim
