#pragma once

#include <QWidget>
#include <string>

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
  // Appends arrive line by line; the view takes them in one batch per event
  // pass and drops the lines the log has dropped.
  void Collect(std::string_view text);
  void Flush();

  Evm& evm_;
  std::string pending_;
  bool flushQueued_ = false;
  size_t shownDropped_ = 0;
};

}  // namespace evm::gui
