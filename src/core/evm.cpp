// SPDX-License-Identifier: GPL-3.0-or-later
#include "evm.h"

namespace evm {

Evm::Evm(const EvmSeams& seams)
    : hid_(seams.hid),
      clock_(seams.clock),
      ui_(seams.ui),
      locale_(seams.locale),
      stateFolder_(seams.stateFolder),
      boardVendorId_(seams.boardVendorId),
      regLink_(seams.hid, seams.clock, results_, seams.boardVendorId),
      dutWriter_(seams.hid, seams.clock, seams.ui, results_, shell_.UsbAddress,
                 shell_.RunWithoutUsb, usbDebug_, seams.boardVendorId),
      // Without a state folder no file is read, not even one in the working folder.
      calBoard_(dutWriter_, results_, seams.ui, locale_, usbDebug_,
                seams.stateFolder.empty() ? std::filesystem::path()
                                          : seams.stateFolder / kFactoryCalFileName) {}

}  // namespace evm
