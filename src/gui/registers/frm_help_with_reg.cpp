// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/registers/frm_help_with_reg.h"

#include <QLabel>
#include <QVBoxLayout>

#include "gui/shell/keyboard.h"

namespace evm::gui {

frmHelpWithReg::frmHelpWithReg(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("frmHelpWithReg");
  setWindowTitle("Help With Reg");
  auto* layout = new QVBoxLayout(this);
  lblLegend = new QLabel(this);
  lblLegend->setObjectName("lblLegend");
  lblLegend->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblLegend->setTextFormat(Qt::PlainText);
  lblLegend->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblLegend);
  layout->addStretch(1);
  setMinimumWidth(520);
  MakeToolWindow(this);
}

}  // namespace evm::gui
