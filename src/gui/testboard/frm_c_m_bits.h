// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

#include "evm.h"
#include "testboard/cm_bits_panel.h"

class QLineEdit;
class QPushButton;

namespace evm::gui {

class ClickBox;

// "Control and Measure Bits".
class frmC_M_Bits : public QWidget {
  Q_OBJECT
 public:
  explicit frmC_M_Bits(Evm& evm, QWidget* parent = nullptr);

  std::array<ClickBox*, 8> Text1{};
  QPushButton* Command1;
  QLineEdit* Text2;
  std::array<QLineEdit*, 8> Text5{};
  QPushButton* Command3;
  QLineEdit* Text6;

 private:
  void Render();

  Evm& evm_;
  CMBitsPanel panel_;
};

}  // namespace evm::gui
