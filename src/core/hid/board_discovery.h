// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hid/hid_platform.h"

namespace evm {

enum class BoardKind { Other, RegLink, Interface };

// One HID device as discovery finds it, opened only to learn whether it can be.
struct BoardListing {
  std::string path;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  bool idsKnown = false;
  std::string serial;
  std::string product;
  BoardKind kind = BoardKind::Other;
  bool openable = false;
  std::string reason;  // why it cannot be opened
};

// Every present HID device, with the boards of `boardVendorId` told apart
// by kind (an interface board answers on one of the USB address ranges).
std::vector<BoardListing> DiscoverBoards(HidPlatform& hid, uint16_t boardVendorId);

// Which of several boards of one kind the program takes. `selector` names a
// board by serial number or by path; empty means no choice was made.
struct BoardChoice {
  const BoardListing* board = nullptr;
  bool selectedFound = false;  // the selector named a board that is taken
  std::string why;             // for the debug log
};

BoardChoice ChooseBoard(const std::vector<BoardListing>& boards,
                        const std::function<bool(const BoardListing&)>& matches,
                        const std::string& selector);

bool SelectorNames(const BoardListing& board, const std::string& selector);

const char* BoardKindName(BoardKind kind);

// The sentence of a USB-problem report about `count` HID devices that may be
// the board but could not be opened; empty for none.
std::string UnopenedDevicesText(int count);

}  // namespace evm
