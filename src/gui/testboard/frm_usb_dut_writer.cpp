// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/testboard/frm_usb_dut_writer.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "gui/shell/keyboard.h"
#include "gui/shell/screen_fit.h"

namespace evm::gui {

namespace {

QString Indexed(const char* name, int i) {
  return QString("%1_%2").arg(name).arg(i);
}

// 32 byte boxes in two rows of sixteen, each under its index.
QGroupBox* ByteFrame(QWidget* parent, const char* frameName, const char* caption,
                     const char* boxName, const char* labelName, std::array<QLineEdit*, 32>& boxes,
                     std::array<QLabel*, 32>& labels) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(frameName);
  auto* grid = new QGridLayout(frame);
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(1);
  for (int i = 0; i < 32; ++i) {
    auto* label = new QLabel(frame);
    label->setObjectName(Indexed(labelName, i));
    label->setAlignment(Qt::AlignCenter);
    auto* box = new QLineEdit(frame);
    box->setObjectName(Indexed(boxName, i));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(32);
    NoTabStop(box);
    const int row = (i / 16) * 2;
    grid->addWidget(label, row, i % 16);
    grid->addWidget(box, row + 1, i % 16);
    boxes[static_cast<size_t>(i)] = box;
    labels[static_cast<size_t>(i)] = label;
  }
  return frame;
}

}  // namespace

frmUSB_DUT_Writer::frmUSB_DUT_Writer(UsbDutWriter& writer, UserInterface& ui,
                                     std::filesystem::path commandFile, QWidget* parent)
    : QWidget(parent, Qt::Window), writer_(writer), ui_(ui), commandFile_(std::move(commandFile)) {
  setObjectName("frmUSB_DUT_Writer");
  setWindowTitle("Debug USB Interface");
  QWidget* page = ScrollingPage(this);
  auto* layout = new QVBoxLayout(page);

  auto* commands = new QGroupBox("USB Command String", this);
  commands->setObjectName("Frame1");
  auto* cgrid = new QGridLayout(commands);
  for (int i = 0; i < 5; ++i) {
    const QString name = QString("Command%1").arg(i + 1);
    auto* button = new QPushButton(name, commands);
    button->setObjectName(name);
    auto* box = new QLineEdit(commands);
    box->setObjectName(Indexed("txtCmdString", i));
    cgrid->addWidget(button, i, 0);
    cgrid->addWidget(box, i, 1);
    ReturnPresses(box, button);
    Command[static_cast<size_t>(i)] = button;
    txtCmdString[static_cast<size_t>(i)] = box;
  }
  cgrid->setColumnStretch(1, 1);
  layout->addWidget(commands);

  layout->addWidget(ByteFrame(this, "Frame2", "Raw Data To USB -- 32 bytes", "txtToUSB", "lblToUSB",
                              txtToUSB, lblToUSB));
  layout->addWidget(ByteFrame(this, "Frame3", "Raw Data From USB -- 32 bytes", "txtFromUSB",
                              "lblFromUSB", txtFromUSB, lblFromUSB));

  auto* responses = new QGroupBox("USB Response String", this);
  responses->setObjectName("Frame4");
  auto* rgrid = new QGridLayout(responses);
  Text1 = new QLineEdit(responses);
  Text1->setObjectName("Text1");
  Text2 = new QLineEdit(responses);
  Text2->setObjectName("Text2");
  rgrid->addWidget(new QLabel("Read Response", responses), 0, 0);
  rgrid->addWidget(Text1, 0, 1);
  rgrid->addWidget(new QLabel("Command Response", responses), 1, 0);
  rgrid->addWidget(Text2, 1, 1);
  layout->addWidget(responses);

  // The load: label captions, then the stored command texts.
  for (int i = 0; i < 32; ++i) {
    lblFromUSB[static_cast<size_t>(i)]->setText(QString::number(i));
    lblToUSB[static_cast<size_t>(i)]->setText(QString::number(i));
  }
  LoadDutWriterFile(panel_, commandFile_, ui_);
  for (size_t i = 0; i < 5; ++i) {
    txtCmdString[i]->setText(QString::fromStdString(panel_.txtCmdString[i]));
    connect(txtCmdString[i], &QLineEdit::textChanged, this,
            [this, i](const QString& text) { panel_.txtCmdString[i] = text.toStdString(); });
    connect(Command[i], &QPushButton::clicked, this,
            [this, i] { writer_.SendMnemonic(panel_.txtCmdString[i]); });
  }

  // The boxes are filled from the command path, also before the window was
  // open; it shows the last exchange.
  if (!writer_.exchange.txtToUSB[0].empty()) ShowExchangeView();
  writer_.onExchangeShown = [this] { ShowExchangeView(); };
  MakeToolWindow(this);
  resize(page->sizeHint());  // cut to the screen when it is shown
}

frmUSB_DUT_Writer::~frmUSB_DUT_Writer() {
  writer_.onExchangeShown = nullptr;
}

void frmUSB_DUT_Writer::ShowExchangeView() {
  const DutExchangeView& view = writer_.exchange;
  for (size_t i = 0; i < 32; ++i) {
    txtToUSB[i]->setText(QString::fromStdString(view.txtToUSB[i]));
    txtFromUSB[i]->setText(QString::fromStdString(view.txtFromUSB[i]));
  }
  Text1->setText(QString::fromStdString(view.Text1));
  Text2->setText(QString::fromStdString(view.Text2));
}

void frmUSB_DUT_Writer::closeEvent(QCloseEvent* e) {
  // A file that cannot be written ends the unload quietly.
  SaveDutWriterFile(panel_, commandFile_);
  QWidget::closeEvent(e);
}

}  // namespace evm::gui
