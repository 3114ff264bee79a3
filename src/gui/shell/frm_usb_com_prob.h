// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <functional>

#include "common/user_interface.h"

class QLabel;
class QPushButton;

namespace evm::gui {

// "USB Communication Problem": asked when a board does not answer.
class frmUSB_Com_Prob : public QDialog {
  Q_OBJECT
 public:
  explicit frmUSB_Com_Prob(QWidget* parent = nullptr);

  // Shows the dialog modally and returns the button the user pressed.
  UsbProblemChoice Ask();
  // What was searched for and why it may not have been found.
  void ShowDetail(const QString& detail);

  // Runs before "Set Address and Try Again" closes the dialog; the address
  // window is shown modally from it.
  std::function<void()> onSetAddress;

  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QPushButton* Command4;

 private:
  void Choose(UsbProblemChoice choice);
  UsbProblemChoice choice_ = UsbProblemChoice::AbortProgram;
};

}  // namespace evm::gui
