// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/frm_usb_com_prob.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/shell/keyboard.h"

namespace evm::gui {

namespace {
QLabel* Paragraph(QWidget* parent, const char* name, const char* text) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->setWordWrap(true);
  return label;
}
}  // namespace

frmUSB_Com_Prob::frmUSB_Com_Prob(QWidget* parent) : QDialog(parent) {
  setObjectName("frmUSB_Com_Prob");
  setWindowTitle("USB Communication Problem");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* first = Paragraph(this, "Label1",
                          "USB Communications problem!  Check your cable connections and press "
                          "'Try Again' to continue. ");
  QFont bold = first->font();
  bold.setBold(true);
  first->setFont(bold);
  layout->addWidget(first);

  Command1 = new QPushButton("Try Again", this);
  Command1->setObjectName("Command1");
  Command4 = new QPushButton("Set Address and Try Again", this);
  Command4->setObjectName("Command4");
  Command2 = new QPushButton("Run Without USB:  Put USB to Sleep", this);
  Command2->setObjectName("Command2");
  Command3 = new QPushButton("Abort Program", this);
  Command3->setObjectName("Command3");

  layout->addWidget(Command1);
  layout->addWidget(Command4);
  layout->addSpacing(8);
  layout->addWidget(Paragraph(
      this, "Label2",
      "The 'Run without USB' option will allow the software to continue without using the "
      "USB.  This option is generally used if you want to examine the software without "
      "hardware connected.  You cannot communicate to the EVM in this mode."));
  layout->addWidget(Command2);
  layout->addSpacing(8);
  layout->addWidget(
      Paragraph(this, "Label3", "The 'Abort Program' option will close the software."));
  layout->addWidget(Command3);
  setFixedWidth(460);

  connect(Command1, &QPushButton::clicked, this, [this] { Choose(UsbProblemChoice::TryAgain); });
  connect(Command2, &QPushButton::clicked, this,
          [this] { Choose(UsbProblemChoice::RunWithoutUsb); });
  connect(Command3, &QPushButton::clicked, this,
          [this] { Choose(UsbProblemChoice::AbortProgram); });
  connect(Command4, &QPushButton::clicked, this, [this] {
    hide();
    if (onSetAddress) onSetAddress();
    Choose(UsbProblemChoice::SetAddressAndTryAgain);
  });
  // The address window comes with the interface-board path; until it is
  // there the button cannot do what it says.
  Command4->setEnabled(false);
  GiveMnemonics(this, {});
}

void frmUSB_Com_Prob::ShowDetail(const QString& detail) {
  auto* label = new QLabel(detail, this);
  label->setObjectName("lblDetail");
  label->setWordWrap(true);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // Below the first paragraph, above the buttons.
  qobject_cast<QVBoxLayout*>(layout())->insertWidget(1, label);
}

void frmUSB_Com_Prob::Choose(UsbProblemChoice choice) {
  choice_ = choice;
  done(QDialog::Accepted);
}

UsbProblemChoice frmUSB_Com_Prob::Ask() {
  // Escape or the window's close button dismisses the question, which is
  // "Try Again": ending the program takes the "Abort Program" button.
  choice_ = UsbProblemChoice::TryAgain;
  exec();
  return choice_;
}

}  // namespace evm::gui
