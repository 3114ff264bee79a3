// SPDX-License-Identifier: GPL-3.0-or-later
#include "evm.h"

namespace evm {

Evm::Evm(const EvmSeams& seams)
    : hid(seams.hid),
      clock(seams.clock),
      ui(seams.ui),
      locale(seams.locale),
      stateFolder(seams.stateFolder),
      boardVendorId(seams.boardVendorId),
      regLink(seams.hid, seams.clock, results, seams.boardVendorId),
      dutWriter(seams.hid, seams.clock, seams.ui, results, shell, usbDebug, seams.boardVendorId),
      // Without a state folder no file is read, not even one in the working folder.
      calBoard(dutWriter, results, seams.ui, locale, usbDebug,
               seams.stateFolder.empty() ? std::filesystem::path()
                                         : seams.stateFolder / kFactoryCalFileName) {}

}  // namespace evm
