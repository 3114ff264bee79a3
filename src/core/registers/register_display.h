// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace evm {

class Evm;
struct MainPanels;

// Title of the program's own message boxes.
inline constexpr const char* kMessageTitle = "ZM5520/1 EVM";

inline constexpr const char* kNotValidHexMessage =
    "The value you entered is not a valid hex number";
inline constexpr const char* kLargerThan16BitsMessage =
    "The value you entered is larger then 16 bits.  Register Length = 16 bit.";

// Redraws the grid, the bit map and the value boxes in the mode the
// engineering menu item selects; registers changed since the last refresh are
// flagged edited on the way.
void RefreshRegDisplay(Evm& evm, MainPanels& panels);
void RegisterDisplayRefresh(Evm& evm, MainPanels& panels, bool engineering);

// The grid's current register into the bit map, its names and legend.
void ShowRegDetails(Evm& evm, MainPanels& panels);
// Highlights the grid's current row.
void sel_row_col(Evm& evm, MainPanels& panels);
// The 16 bit boxes from a value, txtReg from the current register.
void ShowValueBits(Evm& evm, MainPanels& panels, int value);

// Window events.
void gridReg_RowColChange(Evm& evm, MainPanels& panels, int row, int col);
void gridReg_Click(Evm& evm, MainPanels& panels);
void txtBit_Click(Evm& evm, MainPanels& panels, int bit);
// The focus left txtReg holding `text`.
void txtReg_Validate(Evm& evm, MainPanels& panels, const std::string& text);
void updwnReg_DownClick(Evm& evm, MainPanels& panels);
void updwnReg_UpClick(Evm& evm, MainPanels& panels);
void mnuEngineeringMode_Click(Evm& evm, MainPanels& panels);

// The platform's "&H" conversion of a typed hexadecimal text to 32 bits: not
// valid when the text is not a hexadecimal number or does not fit 32 bits.
struct HexEntry {
  bool valid = false;
  long long value = 0;
};
HexEntry ParseHexEntry(const std::string& text);

}  // namespace evm
