// SPDX-License-Identifier: GPL-3.0-or-later
#include "registers/register_panel.h"

#include <algorithm>

namespace evm {

namespace {
constexpr std::array<const char*, GridModel::kCols> kHeader = {"Addr", "Name", "Hex", "Binary",
                                                               "Decimal"};
}  // namespace

GridModel::GridModel() {
  SetRows(kNormalRows);
  for (int c = 0; c < kCols; ++c) SetText(0, c, kHeader[static_cast<size_t>(c)]);
}

void GridModel::SetRows(int rows) {
  rows = std::max(rows, 2);
  const size_t cells = static_cast<size_t>(rows) * kCols;
  text_.resize(cells);
  back_.resize(cells, kDefaultColour);
  fore_.resize(cells, kDefaultColour);
  Row = std::min(Row, rows - 1);
  RowSel = std::min(RowSel, rows - 1);
}

void GridModel::Paint(int row1, int col1, int row2, int col2, uint32_t back, uint32_t fore) {
  const int r0 = std::clamp(std::min(row1, row2), 0, Rows() - 1);
  const int r1 = std::clamp(std::max(row1, row2), 0, Rows() - 1);
  const int c0 = std::clamp(std::min(col1, col2), 0, kCols - 1);
  const int c1 = std::clamp(std::max(col1, col2), 0, kCols - 1);
  for (int r = r0; r <= r1; ++r) {
    for (int c = c0; c <= c1; ++c) {
      back_[Index(r, c)] = back;
      fore_[Index(r, c)] = fore;
    }
  }
}

}  // namespace evm
