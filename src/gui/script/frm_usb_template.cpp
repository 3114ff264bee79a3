// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/script/frm_usb_template.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/shell/keyboard.h"

namespace evm::gui {

namespace {
// A title bar's icon and its three buttons, with their gaps, at scale 1.
constexpr int kTitleBarExtras = 160;
}  // namespace

frmUSB_Template::frmUSB_Template(const Openers& openers, QWidget* parent)
    : QWidget(parent, Qt::Window) {
  setObjectName("frmUSB_Template");
  setWindowTitle("USB DUT Write Software Template");
  auto* layout = new QVBoxLayout(this);
  auto add = [&](const char* name, const char* caption, const std::function<void()>& open) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    b->setMinimumHeight(32);
    layout->addWidget(b);
    // A window that is not part of this build cannot be opened from here.
    b->setEnabled(static_cast<bool>(open));
    if (open) connect(b, &QPushButton::clicked, this, open);
    return b;
  };
  Command1 = add("Command1", "Set Address", openers.setAddress);
  Command2 = add("Command2", "Eval Control", openers.evalControl);
  Command3 = add("Command3", "DUT Writer", openers.dutWriter);
  Command4 = add("Command4", "Control and Measure Bits", openers.controlBits);
  Command7 = add("Command7", "Script", openers.script);
  // Wide enough for a title bar to show the whole caption: its bold text,
  // the window's icon and three buttons.
  QFont titleFont = font();
  titleFont.setBold(true);
  setMinimumWidth(
      std::max(320, QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + kTitleBarExtras));
  GiveMnemonics(this, {});
}

}  // namespace evm::gui
