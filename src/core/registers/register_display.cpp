// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_display.h"

#include <algorithm>
#include <limits>

#include "common/hex_text.h"
#include "common/localize_decimal.h"
#include "common/number_text.h"
#include "evm.h"
#include "main_panels.h"
#include "registers/config_controls.h"
#include "registers/register_map.h"

namespace evm {

namespace {

std::string MarkedName(const RegisterStore& store, int reg) {
  return " *** " + store.RegName[static_cast<size_t>(reg) + 1] + " *** ";
}

// Flags every register whose value changed since the last refresh and marks
// the flagged ones in the grid.
void EditedBookkeeping(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  GridModel& grid = panels.registerPanel.gridReg;
  for (int i = 0; i <= store.LastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    if (store.RegPrevious[s] != store.RegValue[s]) store.RegEdited[s] = true;
    if (store.RegEdited[s]) grid.SetText(i + 1, 1, MarkedName(store, i));
  }
  for (int i = 0; i <= store.LastReg; ++i) {
    const auto s = static_cast<size_t>(i);
    store.RegPrevious[s] = store.RegValue[s];
  }
}

std::string Localized(Evm& evm, double value) {
  return LocalizeDecimal(FormatGeneral(value, evm.locale()), evm.shell().DecimalComma);
}

}  // namespace

void RefreshRegDisplay(Evm& evm, MainPanels& panels) {
  RegisterDisplayRefresh(evm, panels, panels.registerPanel.mnuEngineeringMode);
}

void RegisterDisplayRefresh(Evm& evm, MainPanels& panels, bool engineering) {
  RegisterStore& store = evm.registers();
  RegisterPanel& panel = panels.registerPanel;
  GridModel& grid = panel.gridReg;

  store.LastReg = engineering ? kEngineeringLastReg : kNormalLastReg;
  // The grid rows follow the menu item; a refresh never reaches past them.
  const int rows = store.LastReg + 2;
  if (grid.Rows() != rows) grid.SetRows(rows);

  // Names are written only when the rows are new, so marks survive.
  const bool namesMissing =
      engineering ? grid.Text(8, 1) != kRegNames[7] : grid.Text(1, 0) != "00h";
  if (namesMissing) {
    for (int i = 0; i <= store.LastReg; ++i) {
      grid.SetText(i + 1, 0, "0" + std::to_string(i) + "h");
      grid.SetText(i + 1, 1, kRegNames[static_cast<size_t>(i)]);
    }
  }

  EditedBookkeeping(evm, panels);

  for (int i = 0; i <= store.LastReg; ++i) {
    const int32_t v = store.RegValue[static_cast<size_t>(i)];
    grid.SetText(i + 1, 2, "0x" + FormatRegText(v, kFormHex, false));
    grid.SetText(i + 1, 3, FormatRegText(v, kFormBinary, false));
  }
  for (int i = 1; i <= 4; ++i) {
    ScaleReg(store, i);
    grid.SetText(i + 1, 4, FormatGeneral(store.RegScaled[static_cast<size_t>(i)], evm.locale()));
  }

  ShowRegDetails(evm, panels);
  ControlsFromConfig(evm, panels);

  store.ControlsUpdating = true;
  const auto& scaled = store.RegScaled;
  const auto& value = store.RegValue;
  panel.txtShunt[0] = panel.txtShunt[1] = Localized(evm, scaled[1]);
  panel.txtShunt[5] = LocalizeDecimal(std::to_string(value[1]), evm.shell().DecimalComma);
  panel.txtVbus[0] = panel.txtVbus[1] = Localized(evm, scaled[2]);
  panel.txtVbus[6] = std::to_string(value[2]);
  panel.txtPower[0] = Localized(evm, scaled[3]);
  panel.txtPower[3] = std::to_string(value[3]);
  panel.cmd_I_shunt = Localized(evm, scaled[4]);
  panel.txtCurrent2 = std::to_string(value[4]);
  panel.txtFSC = std::to_string(value[5]);
  store.ControlsUpdating = false;
}

void ShowRegDetails(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  RegisterPanel& panel = panels.registerPanel;
  GridModel& grid = panel.gridReg;

  if (grid.Row == 0) grid.Row = 1;
  grid.RowSel = grid.Row;
  grid.Col = 2;
  grid.ColSel = 4;

  panel.CurReg = grid.Row - 1;
  const auto reg = static_cast<size_t>(panel.CurReg);
  panel.txtCurrent_Decmal = FormatGeneral(store.RegScaled[reg], evm.locale());
  ShowValueBits(evm, panels, store.RegValue[reg]);
  panel.lblLegend = store.RegLegend[reg];
  for (size_t k = 0; k < 16; ++k) panel.lblBit[k] = store.RegBitNames[reg][15 - k];
  panel.bitMapReadOnly = store.RegReadOnly[reg];
}

void sel_row_col(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  GridModel& grid = panels.registerPanel.gridReg;
  const int row = grid.Row;
  const int col = grid.Col;
  if (store.HighlightRow > 0 && store.HighlightRow < grid.Rows()) {
    grid.Paint(row, col, store.HighlightRow, GridModel::kCols - 1, kDefaultColour, kDefaultColour);
  }
  grid.Row = row;
  grid.Col = col;
  grid.Paint(row, col, row, GridModel::kCols - 1, kHighlightColour, kDefaultColour);
  store.HighlightRow = row;
  store.HighlightCol = col;
}

void ShowValueBits(Evm& evm, MainPanels& panels, int value) {
  RegisterPanel& panel = panels.registerPanel;
  for (int k = 0; k < 16; ++k) panel.txtBit[static_cast<size_t>(k)] = (value >> k) & 1 ? "1" : "0";
  panel.txtReg =
      FormatRegText(evm.registers().RegValue[static_cast<size_t>(panel.CurReg)], kFormHex, false);
}

void gridReg_RowColChange(Evm& evm, MainPanels& panels, int row, int col) {
  GridModel& grid = panels.registerPanel.gridReg;
  if (row < 0 || row >= grid.Rows() || col < 0 || col >= GridModel::kCols) return;
  grid.Row = row;
  grid.Col = col;
  ShowRegDetails(evm, panels);
  sel_row_col(evm, panels);
}

void gridReg_Click(Evm& evm, MainPanels& panels) {
  sel_row_col(evm, panels);
}

void txtBit_Click(Evm& evm, MainPanels& panels, int bit) {
  RegisterStore& store = evm.registers();
  RegisterPanel& panel = panels.registerPanel;
  if (bit < 0 || bit > 15) return;
  const auto reg = static_cast<size_t>(panel.CurReg);
  if (store.RegReadOnly[reg]) return;
  std::string& box = panel.txtBit[static_cast<size_t>(bit)];
  if (box != "1") {
    box = "1";
    store.RegValue[reg] |= 1 << bit;
  } else {
    box = "0";
    store.RegValue[reg] &= ~(1 << bit);
  }
  RefreshRegDisplay(evm, panels);
}

HexEntry ParseHexEntry(const std::string& text) {
  // Surrounding blanks are tolerated as the platform conversion does; a sign,
  // a prefix or a blank inside is not a hexadecimal number.
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) return {};
  const auto value = ParseHexDigits(std::string_view(text).substr(begin, end - begin + 1));
  // The conversion is to 32 bits: nine significant digits or more fail it
  // like any other text that is not a number.
  if (!value || *value > 0xFFFFFFFFu) return {};
  return {true, static_cast<long long>(*value)};
}

void txtReg_Validate(Evm& evm, MainPanels& panels, const std::string& text) {
  RegisterStore& store = evm.registers();
  RegisterPanel& panel = panels.registerPanel;
  const auto reg = static_cast<size_t>(panel.CurReg);
  const HexEntry entry = ParseHexEntry(text);
  if (!entry.valid) {
    evm.ui().MessageBox(kNotValidHexMessage, kMessageTitle);
    panel.txtReg = FormatRegText(store.RegValue[reg], kFormHex, false);
  } else if (entry.value >= 0 && entry.value <= 0xFFFF) {
    store.RegValue[reg] = static_cast<int32_t>(entry.value);
    panel.txtReg = FormatRegText(store.RegValue[reg], kFormHex, false);
  } else {
    panel.txtReg = FormatRegText(store.RegValue[reg], kFormHex, false);
    if (panel.onBoxRestored) panel.onBoxRestored();
    evm.ui().MessageBox(kLargerThan16BitsMessage, kMessageTitle);
  }
  RefreshRegDisplay(evm, panels);
}

void updwnReg_DownClick(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  int32_t& value = store.RegValue[static_cast<size_t>(panels.registerPanel.CurReg)];
  if (value >= 1) {
    --value;
  } else {
    evm.ui().Beep();
  }
  ShowValueBits(evm, panels, value);
  RefreshRegDisplay(evm, panels);
}

void updwnReg_UpClick(Evm& evm, MainPanels& panels) {
  RegisterStore& store = evm.registers();
  int32_t& value = store.RegValue[static_cast<size_t>(panels.registerPanel.CurReg)];
  if (value < 65535) {
    ++value;
  } else {
    evm.ui().Beep();
  }
  ShowValueBits(evm, panels, value);
  RefreshRegDisplay(evm, panels);
}

void mnuEngineeringMode_Click(Evm& evm, MainPanels& panels) {
  RegisterPanel& panel = panels.registerPanel;
  GridModel& grid = panel.gridReg;
  panel.mnuEngineeringMode = !panel.mnuEngineeringMode;
  const int row = grid.Row;
  grid.SetRows(panel.mnuEngineeringMode ? GridModel::kEngineeringRows : GridModel::kNormalRows);
  RefreshRegDisplay(evm, panels);
  // A current row that went with the removed rows moved to the last one; the
  // grid reports that as a change of its current cell.
  if (grid.Row != row) gridReg_RowColChange(evm, panels, grid.Row, grid.Col);
}

}  // namespace evm
