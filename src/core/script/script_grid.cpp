// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/script_grid.h"

#include <algorithm>
#include <utility>

namespace evm {

std::string RowNumberText(int n) {
  return " " + std::to_string(n);
}

ScriptGrid::ScriptGrid() {
  for (int r = 0; r < kInitialRows; ++r) AppendRow();
  for (int r = 1; r < kInitialRows; ++r) Cell(r, 0) = RowNumberText(r);
}

void ScriptGrid::AppendRow() {
  cells_.emplace_back();
  changed_.push_back(0);
  MarkChanged(Rows() - 1);
}

std::vector<int> ScriptGrid::TakeChangedRows() {
  std::vector<int> rows;
  rows.swap(changedRows_);
  for (int r : rows) changed_[static_cast<size_t>(r)] = 0;
  return rows;
}

void SelectCell(ScriptGrid& grid) {
  grid.HighlightRow = grid.Row_;
  grid.HighlightCol = grid.Col;
  grid.Text1 = grid.Cell(grid.Row_, grid.Col);
}

void ScrollIfBelowView(ScriptGrid& grid) {
  if (grid.Row_ - grid.TopRow > ScriptGrid::kVisibleSpan) ++grid.TopRow;
}

void EnterText(ScriptGrid& grid) {
  const int edited = grid.Row_;
  grid.Cell(grid.Row_, grid.Col) = grid.Text1;
  grid.ScriptLastRow = std::max(grid.ScriptLastRow, grid.Row_);
  // A row past the grid's end is always one the growth below appends.
  ++grid.Row_;
  if (grid.ScriptLastRow + 2 >= grid.Rows()) {
    grid.AppendRow();
    grid.Cell(grid.Row_, 0) = RowNumberText(grid.ScriptLastRow + 1);
  }
  SelectCell(grid);
  ScrollIfBelowView(grid);
  // The user may have scrolled the edited row out of view: the view comes
  // back to it and to the row below, where typing goes on.
  if (edited < grid.TopRow) grid.TopRow = edited;
  if (grid.Row_ - grid.TopRow > ScriptGrid::kVisibleSpan) {
    grid.TopRow = grid.Row_ - ScriptGrid::kVisibleSpan;
  }
}

void InsertRowAbove(ScriptGrid& grid) {
  const int current = grid.Row_;
  // The rows from the current one down to the end of the script move one row
  // lower; the grid gains a row for each, so no script is too long for it.
  const int last = grid.ScriptLastRow;
  for (int r = current; r <= last; ++r) grid.AppendRow();
  for (int r = last; r >= current; --r) {
    for (int c = 1; c <= 4; ++c) grid.Cell(r + 1, c) = grid.Cell(r, c);
  }
  for (int c = 1; c <= 4; ++c) grid.Cell(current, c).clear();
  ++grid.ScriptLastRow;
  SelectCell(grid);
  grid.Cell(grid.ScriptLastRow, 0) = RowNumberText(grid.ScriptLastRow);
}

void DeleteCurrentRow(ScriptGrid& grid) {
  const int current = grid.Row_;
  if (current > grid.ScriptLastRow) {
    // Below the script there is nothing to move up.
    for (int c = 1; c <= 4; ++c) grid.Cell(current, c).clear();
    return;
  }
  for (int r = current; r < grid.ScriptLastRow; ++r) {
    for (int c = 1; c <= 4; ++c) grid.Cell(r, c) = grid.Cell(r + 1, c);
  }
  for (int c = 1; c <= 4; ++c) grid.Cell(grid.ScriptLastRow, c).clear();
  grid.ScriptLastRow = std::max(0, grid.ScriptLastRow - 1);
}

void ClearScriptGrid(ScriptGrid& grid) {
  for (int r = 1; r < grid.Rows(); ++r) {
    for (int c = 1; c <= 6; ++c) grid.Cell(r, c).clear();
  }
  grid.TopRow = 1;
}

void TrimForSave(ScriptGrid& grid) {
  const int end = std::min(grid.ScriptLastRow, grid.Rows() - 1);
  for (int i = 1; i <= end; ++i) {
    if (std::as_const(grid).Cell(i, kColStep).empty() && i < grid.ScriptLastRow) {
      grid.ScriptLastRow = i;
      break;
    }
  }
}

void TrimForRun(ScriptGrid& grid) {
  const int end = std::min(grid.ScriptLastRow, grid.Rows() - 1);
  for (int i = 1; i <= end; ++i) {
    if (std::as_const(grid).Cell(i, kColStep).empty()) {
      grid.ScriptLastRow = i - 1;
      break;
    }
  }
}

}  // namespace evm
