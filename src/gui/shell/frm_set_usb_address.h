// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include "evm.h"
#include "shell/set_usb_address.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace evm::gui {

class ClickBox;

// "Set Address": the interface board's product id from its jumpers and range.
class frmSetUSBAddress : public QDialog {
  Q_OBJECT
 public:
  explicit frmSetUSBAddress(Evm& evm, QWidget* parent = nullptr);

  void done(int result) override;

  ClickBox* Text4;
  ClickBox* Text5;
  QLabel* Label3;
  QPushButton* Command2;
  QCheckBox* Check1;
  QPushButton* Command1;
  QPushButton* Command3;

 private:
  void Render();

  Evm& evm_;
  SetUsbAddressPanel panel_;
};

// "What is a Legacy Address".
class frmCalDate : public QDialog {
  Q_OBJECT
 public:
  explicit frmCalDate(QWidget* parent = nullptr);
  QLabel* Label1;
};

}  // namespace evm::gui
