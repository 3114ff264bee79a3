// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/board_offer.h"

#include "evm.h"

namespace evm {

BoardOffer OfferBoards(Evm& evm) {
  const RegisterLink& link = evm.regLink();
  const UsbDutWriter& writer = evm.dutWriter();
  return {DiscoverBoards(evm.hid(), evm.boardVendorId()),
          {link.SelectedBoard, writer.SelectedBoard},
          {link.LinkOpen() ? link.DevicePath() : "",
           writer.MnemonicBoardFound ? writer.DevicePath : ""}};
}

bool UseBoardSelection(Evm& evm, const BoardSelection& selection) {
  ApplyBoardSelection(evm, selection);
  return WriteBoardSelectionFile(evm.StateFile(kBoardSelectionFileName), selection);
}

}  // namespace evm
