// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "hid/board_discovery.h"
#include "shell/board_selection_file.h"

namespace evm {

class Evm;

// What "Choose Boards" offers: every HID device there is, and for each
// connection the board chosen and the one in use (empty where none).
struct BoardOffer {
  std::vector<BoardListing> boards;
  BoardSelection chosen;
  BoardSelection inUse;
};
BoardOffer OfferBoards(Evm& evm);

// The choice taken from now on and stored for the next start; false when it
// could not be stored, and it is then used until the program ends.
bool UseBoardSelection(Evm& evm, const BoardSelection& selection);

}  // namespace evm
