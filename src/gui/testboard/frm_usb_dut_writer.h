// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <filesystem>

#include "common/user_interface.h"
#include "mnemonic/usb_dut_writer.h"
#include "testboard/dut_writer_panel.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace evm::gui {

// "Debug USB Interface": sends typed command texts and shows the 32-byte
// reports that went out and came back.
class frmUSB_DUT_Writer : public QWidget {
  Q_OBJECT
 public:
  // The command lines are kept in `commandFile`.
  frmUSB_DUT_Writer(UsbDutWriter& writer, UserInterface& ui, std::filesystem::path commandFile,
                    QWidget* parent = nullptr);
  ~frmUSB_DUT_Writer() override;

  std::array<QLineEdit*, 5> txtCmdString{};
  std::array<QPushButton*, 5> Command{};  // Command1 ... Command5
  std::array<QLineEdit*, 32> txtToUSB{};
  std::array<QLabel*, 32> lblToUSB{};
  std::array<QLineEdit*, 32> txtFromUSB{};
  std::array<QLabel*, 32> lblFromUSB{};
  QLineEdit* Text1;
  QLineEdit* Text2;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void ShowExchangeView();
  UsbDutWriter& writer_;
  UserInterface& ui_;
  const std::filesystem::path commandFile_;
  DutWriterPanel panel_;
};

}  // namespace evm::gui
