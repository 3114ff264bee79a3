// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace evm {

struct ShellState {
  bool UsbRetry = false;
  bool RunWithoutUsb = false;
  // The boards are the simulated EVM's; the status bar says so.
  bool Simulated = false;
  int DecimalComma = 0;
  double StoredMonth = 0;
  double StoredYear = 0;
  // Empty until the address is read from its file or chosen.
  std::optional<uint16_t> UsbAddress;
  bool LegacyAddressing = false;

  // True once the load has got past the point where the stored settings are
  // read (or found missing); before that the shutdown must not replace them
  // with texts that were never loaded.
  bool SettingsFileOwned = false;
  // The stored settings were there but did not parse: they are set aside as
  // "NAME.bad" before the first write, never overwritten.
  bool SettingsFileUnparsed = false;
  bool FirstActivationDone = false;
};

}  // namespace evm
