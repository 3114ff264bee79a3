// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <functional>

class QPushButton;

namespace evm::gui {

// "USB DUT Write Software Template": the launcher of the board windows and
// of the script window.
class frmUSB_Template : public QWidget {
  Q_OBJECT
 public:
  struct Openers {
    std::function<void()> setAddress;
    std::function<void()> evalControl;
    std::function<void()> dutWriter;
    std::function<void()> controlBits;
    std::function<void()> script;
  };

  explicit frmUSB_Template(const Openers& openers, QWidget* parent = nullptr);

  QPushButton* Command1;  // Set Address
  QPushButton* Command2;  // Eval Control
  QPushButton* Command3;  // DUT Writer
  QPushButton* Command4;  // Control and Measure Bits
  QPushButton* Command7;  // Script
};

}  // namespace evm::gui
