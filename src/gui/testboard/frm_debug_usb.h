// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <deque>
#include <string>

#include "mnemonic/usb_debug_log.h"

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace evm::gui {

// "Debug the USB": shows the USB debug log and switches its level. It sees
// the log and its switches only, not the rest of the session.
class frmDebugUSB : public QWidget {
  Q_OBJECT
 public:
  frmDebugUSB(UsbDebugLog& log, DebugUsbPanel& panel, QWidget* parent = nullptr);
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
  // Puts `text` at the end of the view, its lines in blocks of at most
  // kLinesPerBlock joined by line separators: an edit of the document costs
  // per block, so a block per line would pay that for every line shown and
  // again for every line dropped.
  void AppendShown(QString text);
  void ClearShown();

  static constexpr int kLinesPerBlock = 16;
  UsbDebugLog& log_;
  DebugUsbPanel& panel_;
  std::string pending_;
  bool flushQueued_ = false;
  size_t shownDropped_ = 0;
  std::deque<int> shownLines_;  // length of each whole line shown, the oldest first
  int openLine_ = 0;            // length of the last line, not ended yet
  int linesInLastBlock_ = 0;
};

}  // namespace evm::gui
