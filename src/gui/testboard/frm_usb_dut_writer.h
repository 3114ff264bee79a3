// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>

#include "evm.h"
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
  explicit frmUSB_DUT_Writer(Evm& evm, QWidget* parent = nullptr);
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
  Evm& evm_;
  DutWriterPanel panel_;
};

}  // namespace evm::gui
