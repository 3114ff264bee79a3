// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace evm {

class Evm;

// Title of the program's own message boxes.
inline constexpr const char* kMessageTitle = "ZM5520/1 EVM";

inline constexpr const char* kNotValidHexMessage =
    "The value you entered is not a valid hex number";
inline constexpr const char* kLargerThan16BitsMessage =
    "The value you entered is larger then 16 bits.  Register Length = 16 bit.";

// Redraws the grid, the bit map and the value boxes in the mode the
// engineering menu item selects; registers changed since the last refresh are
// flagged edited on the way.
void RefreshRegDisplay(Evm& evm);
void RegisterDisplayRefresh(Evm& evm, bool engineering);

// The grid's current register into the bit map, its names and legend.
void ShowRegDetails(Evm& evm);
// Highlights the grid's current row.
void sel_row_col(Evm& evm);
// The 16 bit boxes from a value, txtReg from the current register.
void ShowValueBits(Evm& evm, int value);

// Window events.
void gridReg_RowColChange(Evm& evm, int row, int col);
void gridReg_Click(Evm& evm);
void txtBit_Click(Evm& evm, int bit);
// The focus left txtReg holding `text`.
void txtReg_Validate(Evm& evm, const std::string& text);
void updwnReg_DownClick(Evm& evm);
void updwnReg_UpClick(Evm& evm);
void mnuEngineeringMode_Click(Evm& evm);

// The platform's "&H" conversion of a typed hexadecimal text to 32 bits: not
// valid when the text is not a hexadecimal number or does not fit 32 bits.
struct HexEntry {
  bool valid = false;
  long long value = 0;
};
HexEntry ParseHexEntry(const std::string& text);

}  // namespace evm
