// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <vector>

#include "evm.h"
#include "hid/board_discovery.h"

class QLabel;
class QPushButton;
class QTableWidget;

namespace evm::gui {

// "Choose Boards": the attached boards of each kind, one of each to use from
// now on and at the next start.
class frmChooseBoards : public QDialog {
  Q_OBJECT
 public:
  explicit frmChooseBoards(Evm& evm, QWidget* parent = nullptr);

  // Lists the boards anew and marks the chosen ones.
  void Refresh();

  QTableWidget* gridRegLink;
  QTableWidget* gridInterface;
  QLabel* lblStatus;
  QPushButton* cmdRefresh;
  QPushButton* cmdUse;
  QPushButton* cmdClose;

 private:
  void Fill(QTableWidget* grid, BoardKind kind, const std::string& selected,
            const std::string& inUse);
  std::string Picked(QTableWidget* grid, BoardKind kind) const;
  void Use();

  Evm& evm_;
  std::vector<BoardListing> boards_;
};

}  // namespace evm::gui
