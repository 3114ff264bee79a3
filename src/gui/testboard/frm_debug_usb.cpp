// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/testboard/frm_debug_usb.h"

#include <algorithm>

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include "gui/shell/keyboard.h"

namespace evm::gui {

namespace {
QString WithoutCr(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).remove('\r');
}
}  // namespace

frmDebugUSB::frmDebugUSB(UsbDebugLog& log, DebugUsbPanel& panel, QWidget* parent)
    : QWidget(parent, Qt::Window), log_(log), panel_(panel) {
  setObjectName("frmDebugUSB");
  setWindowTitle("Debug the USB");
  auto* layout = new QVBoxLayout(this);
  auto* buttons = new QHBoxLayout;
  Command1 = new QPushButton(this);
  Command1->setObjectName("Command1");
  chkVerbose = new QCheckBox("Verbose Output", this);
  chkVerbose->setObjectName("chkVerbose");
  Command2 = new QPushButton("Clear Screen", this);
  Command2->setObjectName("Command2");
  buttons->addWidget(Command1);
  buttons->addWidget(chkVerbose);
  buttons->addStretch(1);
  buttons->addWidget(Command2);
  layout->addLayout(buttons);

  txtUSB_Debug = new QPlainTextEdit(this);
  txtUSB_Debug->setObjectName("txtUSB_Debug");
  txtUSB_Debug->setReadOnly(true);
  // The log is plain fixed-width text: each line is shown without shaping,
  // which would otherwise be most of the cost of drawing a new line.
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleStrategy(QFont::PreferNoShaping);
  txtUSB_Debug->setFont(font);
  // A log is not edited: an undo history would keep every line ever shown.
  txtUSB_Debug->setUndoRedoEnabled(false);
  AppendShown(WithoutCr(log_.Text()));
  shownDropped_ = log_.DroppedLines();
  txtUSB_Debug->moveCursor(QTextCursor::End);
  layout->addWidget(txtUSB_Debug, 1);

  Command1->setText(QString::fromStdString(DebugButtonCaption(log_)));
  chkVerbose->setChecked(panel_.chkVerbose);

  connect(Command1, &QPushButton::clicked, this, [this] {
    DebugToggleClick(log_, panel_);
    SetCaption(Command1, QString::fromStdString(DebugButtonCaption(log_)));
  });
  connect(chkVerbose, &QCheckBox::clicked, this,
          [this](bool checked) { DebugVerboseClick(log_, panel_, checked); });
  connect(Command2, &QPushButton::clicked, this, [this] { log_.Clear(); });

  log_.onAppended = [this](std::string_view text) { Collect(text); };
  log_.onCleared = [this] {
    pending_.clear();
    shownDropped_ = 0;
    ClearShown();
  };
  resize(560, 480);
  MakeToolWindow(this);
}

frmDebugUSB::~frmDebugUSB() {
  log_.onAppended = nullptr;
  log_.onCleared = nullptr;
}

void frmDebugUSB::ClearShown() {
  txtUSB_Debug->clear();
  shownLines_.clear();
  openLine_ = 0;
  linesInLastBlock_ = 0;
}

void frmDebugUSB::AppendShown(QString text) {
  qsizetype lineStart = 0;
  for (qsizetype i = text.indexOf('\n'); i >= 0; i = text.indexOf('\n', i + 1)) {
    shownLines_.push_back(openLine_ + static_cast<int>(i - lineStart));
    openLine_ = 0;
    lineStart = i + 1;
    if (++linesInLastBlock_ < kLinesPerBlock) {
      text[i] = QChar::LineSeparator;
    } else {
      linesInLastBlock_ = 0;
    }
  }
  openLine_ += static_cast<int>(text.size() - lineStart);
  QTextDocument* doc = txtUSB_Debug->document();
  QTextCursor cursor(doc);
  cursor.setPosition(doc->characterCount() - 1);
  cursor.insertText(text);
}

void frmDebugUSB::Collect(std::string_view text) {
  pending_.append(text);
  if (flushQueued_) return;
  flushQueued_ = true;
  QMetaObject::invokeMethod(this, &frmDebugUSB::Flush, Qt::QueuedConnection);
}

void frmDebugUSB::Flush() {
  flushQueued_ = false;
  const size_t dropped = log_.DroppedLines();
  if (pending_.empty() && dropped == shownDropped_) return;
  // One edit for the batch, at the end only: the view lays out and resizes
  // once and never re-lays out the whole log. Cursors are placed by
  // position, as moving one block by block lays out every block it passes.
  QTextDocument* doc = txtUSB_Debug->document();
  // Scrolling a drawing view lays out every line it passes to work out how
  // far to move the picture; with its drawing held it only jumps.
  QWidget* viewport = txtUSB_Debug->viewport();
  viewport->setUpdatesEnabled(false);
  QTextCursor cursor(doc);
  cursor.beginEditBlock();
  AppendShown(WithoutCr(pending_));
  pending_.clear();
  if (dropped != shownDropped_) {
    // The log dropped its oldest lines: the same lines go from the top of
    // the view, and the marker line is written anew.
    size_t lines = (shownDropped_ > 0 ? 1 : 0) + (dropped - shownDropped_);
    lines = std::min(lines, shownLines_.size());
    int end = 0;
    for (size_t i = 0; i < lines; ++i) end += shownLines_[i] + 1;
    shownLines_.erase(shownLines_.begin(),
                      shownLines_.begin() + static_cast<std::ptrdiff_t>(lines));
    if (shownLines_.empty()) linesInLastBlock_ = 0;
    const QString marker = WithoutCr(DroppedLinesMarker(dropped));
    shownLines_.push_front(static_cast<int>(marker.size()) - 1);
    cursor.setPosition(0);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.insertText(marker);
    shownDropped_ = dropped;
  }
  cursor.endEditBlock();
  // The view's own cursor rides along at the end unless it was moved.
  const int end = doc->characterCount() - 1;
  if (txtUSB_Debug->textCursor().position() != end) {
    cursor.setPosition(end);
    txtUSB_Debug->setTextCursor(cursor);
  }
  txtUSB_Debug->verticalScrollBar()->setValue(txtUSB_Debug->verticalScrollBar()->maximum());
  viewport->setUpdatesEnabled(true);
}

}  // namespace evm::gui
