// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/frm_check_software_rev.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace evm::gui {

frmCheckSoftwareRev::frmCheckSoftwareRev(QWidget* parent) : QDialog(parent) {
  setObjectName("frmCheckSoftwareRev");
  setWindowTitle("Reminder!");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(
      "It is important to periodically check if you are using the latest version of the "
      "ZM5520/1 EVM software!",
      this);
  text->setObjectName("Label1");
  text->setWordWrap(true);
  QFont bold = text->font();
  bold.setBold(true);
  text->setFont(bold);
  auto* where = new QLabel(
      "The latest version can be downloaded from the ZM5520/1 product page at "
      "www.zm5520-evm.example.com",
      this);
  where->setObjectName("Label2");
  where->setWordWrap(true);
  Command1 = new QPushButton("OK", this);
  Command1->setObjectName("Command1");
  Command1->setDefault(true);
  layout->addWidget(text);
  layout->addWidget(where);
  layout->addWidget(Command1, 0, Qt::AlignHCenter);
  setFixedWidth(420);
  connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace evm::gui
