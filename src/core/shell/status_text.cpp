// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/status_text.h"

#include "hid/board_discovery.h"
#include "hid/board_ids.h"
#include "mnemonic/mnemonic_language.h"

namespace evm {

std::string StatusText(const Evm& evm) {
  std::string text;
  if (evm.shell().RunWithoutUsb) {
    text = "No USB (Run Without USB)";
  } else {
    text = evm.shell().Simulated ? "Simulated EVM" : "USB";
    text += ": register link " + HexText(evm.boardVendorId()) + ":" + HexText(kRegLinkProductId);
    if (evm.shell().UsbAddress) {
      text += ", interface board " + HexText(evm.boardVendorId()) + ":" +
              HexText(*evm.shell().UsbAddress);
    }
  }
  const MeasurementState& m = evm.measurement();
  if (m.ContinuousRead)
    text += "   |   Continuous read: " + std::to_string(m.ContinuousPasses) + " passes";
  if (m.LogActive) text += "   |   Logging to " + m.logFileName;
  return text;
}

std::string UsbSearchDetail(const Evm& evm) {
  std::string text = "Searched for the register link, USB id " + HexText(evm.boardVendorId()) +
                     ":" + HexText(kRegLinkProductId) + ".";
  if (evm.shell().UsbAddress) {
    text += " The interface board is looked for at USB id " + HexText(evm.boardVendorId()) + ":" +
            HexText(*evm.shell().UsbAddress) + ".";
  }
  text += UnopenedDevicesText(evm.regLink().UnopenedInterfaces());
  return text;
}

}  // namespace evm
