// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/testboard/frm_c_m_bits.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/shell/click_box.h"
#include "gui/shell/keyboard.h"

namespace evm::gui {

namespace {
QString Indexed(const char* name, int i) {
  return QString("%1_%2").arg(name).arg(i);
}
}  // namespace

frmC_M_Bits::frmC_M_Bits(Evm& evm, QWidget* parent) : QWidget(parent, Qt::Window), evm_(evm) {
  setObjectName("frmC_M_Bits");
  setWindowTitle("Control and Measure Bits");
  auto* layout = new QVBoxLayout(this);

  auto* control = new QGroupBox("Control Bits -- CTRL1 to CTRL8", this);
  control->setObjectName("Frame1");
  auto* cgrid = new QGridLayout(control);
  // Bit 7 on the left, as a byte is written.
  for (int i = 0; i < 8; ++i) {
    auto* label = new QLabel(QString::number(i), control);
    label->setAlignment(Qt::AlignCenter);
    Text1[static_cast<size_t>(i)] = new ClickBox(" 0", control);
    Text1[static_cast<size_t>(i)]->setObjectName(Indexed("Text1", i));
    Text1[static_cast<size_t>(i)]->setFixedWidth(34);
    cgrid->addWidget(label, 0, 7 - i);
    cgrid->addWidget(Text1[static_cast<size_t>(i)], 1, 7 - i);
    connect(Text1[static_cast<size_t>(i)], &ClickBox::clicked, this, [this, i] {
      ToggleControlBit(panel_, i);
      Render();
    });
  }
  Command1 = new QPushButton("Write", control);
  Command1->setObjectName("Command1");
  Text2 = new QLineEdit(control);
  Text2->setObjectName("Text2");
  Text2->setReadOnly(true);
  Text2->setFixedWidth(50);
  cgrid->addWidget(Command1, 2, 0, 1, 4);
  cgrid->addWidget(Text2, 2, 5, 1, 3);
  layout->addWidget(control);

  auto* measure = new QGroupBox("Measure Bits -- MEAS1 to MEAS8", this);
  measure->setObjectName("Frame2");
  auto* mgrid = new QGridLayout(measure);
  for (int i = 0; i < 8; ++i) {
    auto* label = new QLabel(QString::number(i), measure);
    label->setAlignment(Qt::AlignCenter);
    auto* box = new QLineEdit(measure);
    box->setObjectName(Indexed("Text5", i));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(34);
    Text5[static_cast<size_t>(i)] = box;
    mgrid->addWidget(label, 0, 7 - i);
    mgrid->addWidget(box, 1, 7 - i);
  }
  Command3 = new QPushButton("Read", measure);
  Command3->setObjectName("Command3");
  Text6 = new QLineEdit(measure);
  Text6->setObjectName("Text6");
  Text6->setReadOnly(true);
  Text6->setFixedWidth(50);
  mgrid->addWidget(Command3, 2, 0, 1, 4);
  mgrid->addWidget(Text6, 2, 5, 1, 3);
  layout->addWidget(measure);

  connect(Command1, &QPushButton::clicked, this, [this] {
    WriteControlBits(evm_, panel_);
    Render();
  });
  connect(Command3, &QPushButton::clicked, this, [this] {
    ReadMeasureBits(evm_, panel_);
    Render();
  });
  for (QLineEdit* shown : {Text2, Text6}) NoTabStop(shown);
  for (QLineEdit* shown : Text5) NoTabStop(shown);
  Render();
  setFixedSize(sizeHint());
  MakeToolWindow(this);
}

void frmC_M_Bits::Render() {
  for (size_t i = 0; i < 8; ++i) {
    Text1[i]->setText(QString::fromStdString(panel_.Text1[i]));
    Text5[i]->setText(QString::fromStdString(panel_.Text5[i]));
  }
  Text2->setText(QString::fromStdString(panel_.Text2));
  Text6->setText(QString::fromStdString(panel_.Text6));
}

}  // namespace evm::gui
