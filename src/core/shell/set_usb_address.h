// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "hid/board_ids.h"
#include "shell/shell_state.h"

namespace evm {

// The controls of frmSetUSBAddress: the two jumper boxes, the legacy box and
// the product-id caption.
struct SetUsbAddressPanel {
  std::string Text4 = " 0";  // JUMP4, the more significant bit
  std::string Text5 = " 0";  // JUMP5
  bool Check1 = false;       // "Use Legacy Addresses   "
  std::string Label3;
};

// Base + 2 x JUMP4 + JUMP5.
uint16_t UsbAddressFromJumpers(bool legacy, int jump4, int jump5);

// "MyProductID = 2F91h".
std::string ProductIdCaption(const std::optional<uint16_t>& address);

// The window's load: the address file, then boxes and caption from it.
void SetUsbAddressLoad(SetUsbAddressPanel& panel, ShellState& shell,
                       const std::filesystem::path& addressFile);
// The address the program starts with: the stored one, put into range as
// the window's load does, or the standard base when none was read.
void StartWithUsbAddress(ShellState& shell, const std::optional<uint16_t>& stored);
void SetUsbAddressCheck1Click(SetUsbAddressPanel& panel, ShellState& shell, bool checked);
// jumper 4 for Text4, 5 for Text5.
void SetUsbAddressJumperClick(SetUsbAddressPanel& panel, ShellState& shell, int jumper);
// "Set Address and Exit" and the window's unload; false when the file
// could not be written.
bool SetUsbAddressSave(const ShellState& shell, const std::filesystem::path& addressFile);

// The explanation frmCalDate shows, its eight lines joined by CR LF.
std::string LegacyAddressExplanation();
// The message of "About Jumper Settings".
std::string JumperSettingsMessage();

}  // namespace evm
