// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "common/user_interface.h"
#include "shell/set_usb_address.h"
#include "shell/shell_state.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace evm::gui {

class ClickBox;

// "Set Address": the interface board's product id from its jumpers and range,
// kept in `addressFile`.
class frmSetUSBAddress : public QDialog {
  Q_OBJECT
 public:
  frmSetUSBAddress(ShellState& shell, UserInterface& ui, std::filesystem::path addressFile,
                   QWidget* parent = nullptr);

  void done(int result) override;

  ClickBox* Text4;
  ClickBox* Text5;
  QLabel* Label3;
  QPushButton* Command2;
  QCheckBox* Check1;
  QPushButton* Command1;
  QPushButton* Command3;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Render();

  ShellState& shell_;
  UserInterface& ui_;
  const std::filesystem::path addressFile_;
  SetUsbAddressPanel panel_;
  // What the window showed and the program used when it was shown, for
  // Escape to go back to.
  struct Shown {
    std::optional<uint16_t> address;
    bool legacy = false;
    SetUsbAddressPanel panel;
  };
  Shown shown_;
};

// "What is a Legacy Address".
class frmCalDate : public QDialog {
  Q_OBJECT
 public:
  explicit frmCalDate(QWidget* parent = nullptr);
  QLabel* Label1;
};

}  // namespace evm::gui
