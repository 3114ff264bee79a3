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
      calBoard(dutWriter, results, seams.ui, locale, usbDebug,
               seams.stateFolder / kFactoryCalFileName) {}

}  // namespace evm
