// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;

namespace evm::gui {

// "Reminder!": the monthly hint to look for a newer version.
class frmCheckSoftwareRev : public QDialog {
  Q_OBJECT
 public:
  explicit frmCheckSoftwareRev(QWidget* parent = nullptr);
  QPushButton* Command1;
};

}  // namespace evm::gui
