// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>

#include "devices/sim/sim_device.h"
#include "devices/sim/zm5520_model.h"
#include "hid/board_ids.h"

namespace evm::sim {

// The register-link board: executes the I2C write (0x14) and read (0x15)
// requests on a bus that carries the ZM5520/1.
class RegLinkBoard final : public SimDevice {
 public:
  explicit RegLinkBoard(uint16_t vendorId, uint16_t reportLength = kRegLinkDefaultReportLength)
      : vendorId_(vendorId), reportLength_(reportLength) {}

  uint16_t VendorId() const override { return vendorId_; }
  uint16_t ProductId() const override { return kRegLinkProductId; }
  HidCaps Caps() const override;
  std::optional<std::vector<uint8_t>> HandleOutputReport(
      const std::vector<uint8_t>& report) override;

  void Inject(SimFault fault) override;

  Zm5520Model& Device() { return device_; }
  // The latest requests received, payload only (report id dropped), for
  // inspection; older ones are forgotten, so a day-long run stays small.
  const std::deque<std::vector<uint8_t>>& Requests() const { return requests_; }
  uint64_t RequestCount() const { return requestCount_; }

  // Protocol faults.
  bool wrongReplyCode = false;  // answers with another reply code
  uint8_t forcedStatus = 0;     // non-zero: every reply carries it
  bool echoRequest = false;     // sends the request back instead of a reply
  bool garbageAnswer = false;   // answers with noise

 private:
  uint16_t vendorId_;
  uint16_t reportLength_;
  Zm5520Model device_;
  std::deque<std::vector<uint8_t>> requests_;
  uint64_t requestCount_ = 0;
  uint32_t noise_ = 0x6C078965;
};

}  // namespace evm::sim
