// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>
#include <vector>

namespace evm {

// Columns of a script row; column 0 holds the row number.
enum ScriptColumn : int {
  kColDescription = 1,
  kColStep = 2,
  kColLow = 3,
  kColHigh = 4,
  kColResult = 5,
  kColVerdict = 6,
};

// The script window's grid and fields: the grid is the script, so the
// editing commands, the files and the interpreter all work on this model and
// the window only draws it.
struct ScriptGrid {
  static constexpr int kColumns = 7;
  static constexpr int kInitialRows = 21;  // header row + 20
  // A row more than this far below the top visible row scrolls the grid.
  static constexpr int kVisibleSpan = 14;

  using Row = std::array<std::string, kColumns>;

  int Row_ = 1;  // current cell
  int Col = 1;
  int TopRow = 1;  // top visible row below the header
  int HighlightRow = 0;
  int HighlightCol = 0;
  std::string Text1;
  std::string Caption = "Script";
  std::string DialogFileName;  // name the file dialog held last

  int ScriptLastRow = 0;
  int ReadIndex = 0;
  int GotoRow = 0;
  int ExitLoop = 0;
  bool Running = false;
  // Asks a running script to end after the step in progress.
  bool EndRun = false;

  ScriptGrid();

  int Rows() const { return static_cast<int>(cells_.size()); }
  // Writing access marks the row changed, so a view redraws only the rows
  // that were written since it last drew (a step costs the same in a script
  // of any length).
  std::string& Cell(int row, int col) {
    MarkChanged(row);
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
  const std::string& Cell(int row, int col) const {
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
  }
  void AppendRow();
  // The rows written or appended since the last call, each once.
  std::vector<int> TakeChangedRows();

 private:
  void MarkChanged(int row) {
    auto& flag = changed_[static_cast<size_t>(row)];
    if (!flag) {
      flag = 1;
      changedRows_.push_back(row);
    }
  }

  std::vector<Row> cells_;  // row 0 is the fixed header
  std::vector<char> changed_;
  std::vector<int> changedRows_;
};

// " 12": a row number as written with the blank of its sign.
std::string RowNumberText(int n);

// The grid's cell event: moves the highlight to the current cell and loads
// its text into the entry box.
void SelectCell(ScriptGrid& grid);
void ScrollIfBelowView(ScriptGrid& grid);

void EnterText(ScriptGrid& grid);
void InsertRowAbove(ScriptGrid& grid);
void DeleteCurrentRow(ScriptGrid& grid);
void ClearScriptGrid(ScriptGrid& grid);

// Ends the saved script at the first row whose step is empty.
void TrimForSave(ScriptGrid& grid);
// Ends a run at the row before the first empty step.
void TrimForRun(ScriptGrid& grid);

}  // namespace evm
