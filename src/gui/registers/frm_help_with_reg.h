// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;

namespace evm::gui {

// "Help With Reg": the legend of the register in the bit map.
class frmHelpWithReg : public QWidget {
  Q_OBJECT
 public:
  explicit frmHelpWithReg(QWidget* parent = nullptr);
  QLabel* lblLegend;
};

}  // namespace evm::gui
