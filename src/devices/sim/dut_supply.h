// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace evm::sim {

// The supply of the device under test, switched by the interface board and
// felt by the ZM5520/1: a device without supply does not acknowledge, and
// comes back from a power cycle with its reset values.
struct DutSupply {
  bool on = true;
  int powerUps = 0;  // counts off-to-on switchings
  // When the latest power-up happened, once the platform that switched it
  // told: the device's conversions start from there.
  std::optional<int64_t> poweredUpAtUs;

  void Switch(bool toOn) {
    if (toOn && !on) {
      ++powerUps;
      poweredUpAtUs.reset();
    }
    on = toOn;
  }
};

}  // namespace evm::sim
