// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/frm_choose_boards.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

#include "gui/shell/keyboard.h"
#include "shell/board_offer.h"

namespace evm::gui {

namespace {
QTableWidget* MakeGrid(const char* name, QWidget* parent) {
  auto* grid = new QTableWidget(0, 4, parent);
  grid->setObjectName(name);
  grid->setHorizontalHeaderLabels({"Serial", "Product", "Path", "In Use"});
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->verticalHeader()->hide();
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->setMinimumWidth(560);
  grid->setMinimumHeight(110);
  return grid;
}
}  // namespace

frmChooseBoards::frmChooseBoards(Evm& evm, QWidget* parent) : QDialog(parent), evm_(evm) {
  setObjectName("frmChooseBoards");
  setWindowTitle("Choose Boards");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Register Link", this));
  gridRegLink = MakeGrid("gridRegLink", this);
  layout->addWidget(gridRegLink);
  layout->addWidget(new QLabel("Interface Board", this));
  gridInterface = MakeGrid("gridInterface", this);
  layout->addWidget(gridInterface);
  lblStatus = new QLabel(this);
  lblStatus->setObjectName("lblStatus");
  layout->addWidget(lblStatus);
  auto* buttons = new QHBoxLayout;
  cmdRefresh = new QPushButton("Refresh", this);
  cmdRefresh->setObjectName("cmdRefresh");
  cmdUse = new QPushButton("Use Selected", this);
  cmdUse->setObjectName("cmdUse");
  cmdClose = new QPushButton("Close", this);
  cmdClose->setObjectName("cmdClose");
  buttons->addWidget(cmdRefresh);
  buttons->addStretch(1);
  buttons->addWidget(cmdUse);
  buttons->addWidget(cmdClose);
  layout->addLayout(buttons);
  connect(cmdRefresh, &QPushButton::clicked, this, &frmChooseBoards::Refresh);
  connect(cmdUse, &QPushButton::clicked, this, &frmChooseBoards::Use);
  connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
  // The arrow keys pick a board; Return uses it.
  for (QPushButton* button : {cmdRefresh, cmdUse, cmdClose}) button->setAutoDefault(false);
  cmdUse->setDefault(true);
  GiveMnemonics(this, "");
  Refresh();
  gridRegLink->setFocus();
}

void frmChooseBoards::Refresh() {
  BoardOffer offer = OfferBoards(evm_);
  boards_ = std::move(offer.boards);
  Fill(gridRegLink, BoardKind::RegLink, offer.chosen.regLink, offer.inUse.regLink);
  Fill(gridInterface, BoardKind::Interface, offer.chosen.interfaceBoard,
       offer.inUse.interfaceBoard);
}

void frmChooseBoards::Fill(QTableWidget* grid, BoardKind kind, const std::string& selected,
                           const std::string& inUse) {
  grid->setRowCount(0);
  int chosenRow = -1;
  for (const BoardListing& board : boards_) {
    if (board.kind != kind) continue;
    const int row = grid->rowCount();
    grid->insertRow(row);
    const std::string use = !board.openable       ? "cannot be opened: " + board.reason
                            : board.path == inUse ? "in use"
                                                  : "";
    const std::string texts[] = {board.serial, board.product, board.path, use};
    for (int column = 0; column < 4; ++column) {
      auto* item = new QTableWidgetItem(QString::fromStdString(texts[column]));
      // A board that cannot be opened is shown, but cannot be picked.
      if (!board.openable) item->setFlags(Qt::ItemIsEnabled);
      grid->setItem(row, column, item);
    }
    if (board.openable &&
        (SelectorNames(board, selected) || (chosenRow < 0 && board.path == inUse))) {
      chosenRow = row;
    }
  }
  grid->resizeColumnsToContents();
  if (chosenRow >= 0) grid->selectRow(chosenRow);
}

std::string frmChooseBoards::Picked(QTableWidget* grid, BoardKind kind) const {
  const auto rows = grid->selectionModel()->selectedRows();
  if (rows.isEmpty()) return "";
  int row = 0;
  for (const BoardListing& board : boards_) {
    if (board.kind != kind) continue;
    if (row++ == rows.front().row()) return board.serial.empty() ? board.path : board.serial;
  }
  return "";
}

void frmChooseBoards::Use() {
  const BoardSelection selection{Picked(gridRegLink, BoardKind::RegLink),
                                 Picked(gridInterface, BoardKind::Interface)};
  lblStatus->setText(UseBoardSelection(evm_, selection)
                         ? "The chosen boards are used from now on."
                         : "The chosen boards are used until the program ends; the choice "
                           "could not be stored.");
  Refresh();
}

}  // namespace evm::gui
