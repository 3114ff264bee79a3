// SPDX-License-Identifier: GPL-3.0-or-later
#include "hid/board_discovery.h"

#include "hid/board_ids.h"

namespace evm {

std::vector<BoardListing> DiscoverBoards(HidPlatform& hid, uint16_t boardVendorId) {
  std::vector<BoardListing> boards;
  if (hid.BeginEnumeration()) {
    for (int i = 0; hid.EnumerateMember(i); ++i) {
      const auto path = hid.InterfacePath(i);
      if (!path) continue;
      BoardListing board;
      board.path = *path;
      auto attributes = hid.ListedAttributes(i);
      const HidStrings strings = hid.ListedStrings(i);
      board.serial = strings.serial;
      board.product = strings.product;
      const HidHandle handle = hid.Open(*path, false);
      if (handle == kInvalidHidHandle) {
        const uint32_t code = hid.LastError();
        board.reason = hid.ErrorText(code);
        if (board.reason.empty()) board.reason = "error " + std::to_string(code);
      } else {
        board.openable = true;
        if (!attributes) attributes = hid.GetAttributes(handle);
        hid.Close(handle);
      }
      if (attributes) {
        board.idsKnown = true;
        board.vendorId = attributes->vendorId;
        board.productId = attributes->productId;
        if (board.vendorId == boardVendorId && board.productId == kRegLinkProductId) {
          board.kind = BoardKind::RegLink;
        } else if (board.vendorId == boardVendorId && (InUsbAddressRange(board.productId, false) ||
                                                       InUsbAddressRange(board.productId, true))) {
          board.kind = BoardKind::Interface;
        }
      }
      boards.push_back(std::move(board));
    }
  }
  hid.EndEnumeration();
  return boards;
}

bool SelectorNames(const BoardListing& board, const std::string& selector) {
  return !selector.empty() &&
         (board.path == selector || (!board.serial.empty() && board.serial == selector));
}

namespace {
std::string Named(const BoardListing& board) {
  return board.serial.empty() ? board.path : board.serial + " (" + board.path + ")";
}
}  // namespace

BoardChoice ChooseBoard(const std::vector<BoardListing>& boards,
                        const std::function<bool(const BoardListing&)>& matches,
                        const std::string& selector) {
  BoardChoice choice;
  const BoardListing* first = nullptr;
  const BoardListing* refused = nullptr;
  for (const BoardListing& board : boards) {
    if (!matches(board)) continue;
    const bool named = SelectorNames(board, selector);
    if (!board.openable) {
      if (named) refused = &board;
      continue;  // a board that cannot be opened is never taken
    }
    if (!first) first = &board;
    if (named && !choice.selectedFound) {
      choice.board = &board;
      choice.selectedFound = true;
    }
  }
  if (choice.selectedFound) {
    choice.why = "Board " + Named(*choice.board) + " taken: it is the selected board";
    return choice;
  }
  choice.board = first;
  const std::string taken = first ? "taking the first match, " + Named(*first) : "no board found";
  if (selector.empty()) {
    choice.why = "No board selected: " + taken;
  } else if (refused) {
    choice.why =
        "Selected board " + selector + " cannot be opened (" + refused->reason + "): " + taken;
  } else {
    choice.why = "Selected board " + selector + " is absent: " + taken;
  }
  return choice;
}

const char* BoardKindName(BoardKind kind) {
  switch (kind) {
    case BoardKind::RegLink: return "register link";
    case BoardKind::Interface: return "interface board";
    case BoardKind::Other: break;
  }
  return "";
}

std::string UnopenedDevicesText(int count) {
  if (count <= 0) return {};
  return " " + std::to_string(count) +
         " HID device(s) could not be opened: access to them may be missing (on Linux, a udev "
         "rule must grant read and write access to the board's /dev/hidraw device).";
}

}  // namespace evm
