// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "devices/sim/dut_supply.h"
#include "devices/sim/sim_device.h"
#include "devices/sim/sim_i2c_slave.h"
#include "hid/board_ids.h"

namespace evm::sim {

// The interface board of the test set-up: executes the 32-byte command
// reports of the mnemonic language and answers each with a 33-byte input
// report whose last byte echoes the sequence number plus one.
//
// Data interfaces: for token k the answer's byte k holds the byte read for
// an "R" (0xFF from a bus nobody drives) and the acknowledge of the byte
// written last for an "ACKS" (0 acknowledged, 1 not). "CMD" operations:
// ON/OFF switch the supply of the device under test, CTRL latches the
// control bits, MUX the multiplexer byte, the switches their states, and
// MEAS answers at its own position with the measure bits. The measure inputs
// are wired to the control outputs on the evaluation set-up (a loop-back),
// so MEAS reads the latched control byte unless a test drives them.
class InterfaceBoard final : public SimDevice {
 public:
  InterfaceBoard(uint16_t vendorId, DutSupply& supply) : vendorId_(vendorId), supply_(supply) {}

  uint16_t VendorId() const override { return vendorId_; }
  uint16_t ProductId() const override;
  HidCaps Caps() const override;
  std::optional<std::vector<uint8_t>> HandleOutputReport(
      const std::vector<uint8_t>& report) override;

  template <typename Slave, typename... Args>
  Slave& AddSlave(int channel, Args&&... args) {
    auto slave = std::make_unique<Slave>(std::forward<Args>(args)...);
    Slave& ref = *slave;
    slaves_.emplace_back(channel, std::move(slave));
    return ref;
  }

  // Jumper setting that makes the product id.
  int jump4 = 0;
  int jump5 = 0;
  bool legacy = false;

  // Latched outputs.
  uint8_t controlBits = 0;
  uint8_t muxByte = 0;
  bool enCnv = false;
  uint8_t enOne = 1;
  uint8_t enI2C = 1;
  uint8_t iloop = 1;
  uint8_t rs232 = 1;
  // Measure inputs driven by a test instead of the loop-back.
  std::optional<uint8_t> measureInputs;

  void Inject(SimFault fault) override;

  // Faults of the answer.
  bool echoUnchanged = false;  // echoes the sequence number itself
  bool garbageAnswer = false;  // answers with noise, the echo included
  bool slaveNack = false;      // no device on the bus acknowledges
  bool answerLags = false;     // answers each report with the answer of the one before

  DutSupply& Supply() { return supply_; }
  // The latest command reports received, report id dropped; older ones are
  // forgotten, so a day-long run stays small.
  const std::deque<std::vector<uint8_t>>& Reports() const { return reports_; }

 private:
  void RunCommand(const std::vector<uint8_t>& command, std::vector<uint8_t>& reply);
  void RunBus(const std::vector<uint8_t>& command, std::vector<uint8_t>& reply);
  SimI2CSlave* FindSlave(int channel, uint8_t address7);

  uint16_t vendorId_;
  DutSupply& supply_;
  std::vector<std::pair<int, std::unique_ptr<SimI2CSlave>>> slaves_;
  std::deque<std::vector<uint8_t>> reports_;
  std::vector<uint8_t> lastAnswer_ = std::vector<uint8_t>(kInterfaceBoardReportLength, 0);
  uint32_t noise_ = 0x2545F491;
};

}  // namespace evm::sim
