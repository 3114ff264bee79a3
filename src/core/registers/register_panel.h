// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace evm {

// Colours as the window system's RGB values: red in the low byte.
inline constexpr uint32_t kDefaultColour = 0;
inline constexpr uint32_t kHighlightColour = 0xFFFFC0;  // light cyan
inline constexpr uint32_t kReadOnlyColour = 0xE0E0E0;   // light grey

// The register grid as a flexible grid holds it: row 0 is the fixed header,
// column 0 the fixed address column, row r shows register r - 1.
class GridModel {
 public:
  static constexpr int kCols = 5;
  static constexpr int kNormalRows = 7;
  static constexpr int kEngineeringRows = 9;
  // Widths of the padded header texts, in characters.
  static constexpr std::array<int, kCols> kColumnChars = {7, 77, 13, 41, 30};

  GridModel();

  int Rows() const { return static_cast<int>(text_.size() / kCols); }
  // Rows beyond the new count go; a current row among them moves to the last.
  void SetRows(int rows);

  const std::string& Text(int row, int col) const { return text_.at(Index(row, col)); }
  void SetText(int row, int col, std::string text) { text_.at(Index(row, col)) = std::move(text); }
  uint32_t Back(int row, int col) const { return back_.at(Index(row, col)); }
  uint32_t Fore(int row, int col) const { return fore_.at(Index(row, col)); }
  // Colours every cell between the two corners, whichever way round.
  void Paint(int row1, int col1, int row2, int col2, uint32_t back, uint32_t fore);

  int Row = 1;
  int Col = 1;
  int RowSel = 1;
  int ColSel = 1;

 private:
  static size_t Index(int row, int col) {
    return static_cast<size_t>(row) * kCols + static_cast<size_t>(col);
  }
  std::vector<std::string> text_;
  std::vector<uint32_t> back_;
  std::vector<uint32_t> fore_;
};

// What the main window shows of the registers: the grid, the bit map, the
// value boxes and the choice lists. The window draws it and forwards its
// events to the handlers in register_display.h and config_controls.h.
struct RegisterPanel {
  GridModel gridReg;
  // Register in the bit map.
  int CurReg = 0;

  // Index = bit number.
  std::array<std::string, 16> txtBit;
  std::array<std::string, 16> lblBit;
  std::string txtReg = "FFFF";
  std::string txtCurrent_Decmal;
  // Flat grey boxes: the bit map's register is read-only.
  bool bitMapReadOnly = false;
  // Text of the help window's label.
  std::string lblLegend;

  bool txtDutNotAckVisible = false;
  bool mnuEngineeringMode = false;

  // Value boxes; only the indexes the window has are used.
  std::array<std::string, 6> txtShunt;  // 0, 1 volts; 5 register 01h
  std::array<std::string, 7> txtVbus;   // 0, 1 volts; 6 register 02h
  std::array<std::string, 4> txtPower;  // 0 watts; 3 register 03h
  std::string cmd_I_shunt;              // amperes
  std::string txtCurrent2;              // register 04h
  std::string txtFSC;                   // register 05h

  // Choice list positions; -1 while a list has no selection.
  int cmbShuntGain = -1;
  int cmbBusGain = -1;
  int cmbShuntResolution = -1;
  int cmbBusResolution = -1;
  int cmbCnvMode = -1;
  int cmbA0 = -1;
  int cmbA1 = -1;
  std::string txtAddress;

  // Told when a handler has put the register's value back into txtReg and
  // is about to say why, so the window shows the box as the message says.
  std::function<void()> onBoxRestored;
};

}  // namespace evm
