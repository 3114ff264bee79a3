// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

#include "evm.h"
#include "testboard/eval_control_panel.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace evm::gui {

// "Eval Control": the test board by hand.
class frmEvalControl : public QWidget {
  Q_OBJECT
 public:
  explicit frmEvalControl(Evm& evm, QWidget* parent = nullptr);

  QLineEdit* Text5;
  QRadioButton* Option1;
  QRadioButton* Option2;
  QRadioButton* Option3;
  QRadioButton* Option16;
  // Option4 ... Option15: CNV1+, CNV1-, CNV2+, CNV2-, three choices each.
  std::array<QRadioButton*, 12> muxOptions{};
  QCheckBox* Check1;
  QPushButton* Command5;
  QLineEdit* Text10;
  QPushButton* Command6;
  QLineEdit* Text11;
  QPushButton* cmdRead_I_Loop;
  QLabel* lbl_I_Loop;
  QLineEdit* txt_I_Loop;
  QCheckBox* chkDAC_AutoCal;
  QLabel* lblAutoCal;
  std::array<QPushButton*, 4> dacButtons{};  // Command4, Command7, Command8, Command9
  std::array<QLineEdit*, 4> dacBoxes{};      // Text6 ... Text9
  QPushButton* Command3;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void Render();
  Evm& evm_;
  EvalControlPanel panel_;
};

}  // namespace evm::gui
