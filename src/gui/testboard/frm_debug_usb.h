#pragma once

#include <QWidget>

#include "evm.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace evm::gui {

// "Debug the USB": shows the USB debug log and switches its level.
class frmDebugUSB : public QWidget {
  Q_OBJECT
 public:
  explicit frmDebugUSB(Evm& evm, QWidget* parent = nullptr);
  ~frmDebugUSB() override;

  QPlainTextEdit* txtUSB_Debug;
  QPushButton* Command1;
  QCheckBox* chkVerbose;
  QPushButton* Command2;

 private:
  void AppendToView(std::string_view text);
  Evm& evm_;
};

}  // namespace evm::gui
