// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/frm_set_usb_address.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "gui/shell/click_box.h"
#include "gui/shell/keyboard.h"
#include "shell/usb_address_file.h"

namespace evm::gui {

namespace {

QString FromCrLf(const std::string& text) {
  return QString::fromStdString(text).replace("\r\n", "\n");
}

// The interface board seen from above, with the calibration tag marked.
class BoardPicture : public QWidget {
 public:
  explicit BoardPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("Picture1");
    setMinimumSize(360, 190);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF board(20, 15, width() - 40, height() - 30);
    p.setPen(QPen(QColor(20, 60, 20), 2));
    p.setBrush(QColor(40, 120, 60));
    p.drawRoundedRect(board, 6, 6);
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(board.left() - 10, board.center().y() - 18, 30, 36));  // USB socket
    p.setBrush(QColor(30, 30, 30));
    p.drawRect(QRectF(board.center().x() - 40, board.center().y() - 30, 80, 60));  // controller
    p.setPen(Qt::white);
    p.drawText(QRectF(board.center().x() - 40, board.center().y() - 30, 80, 60), Qt::AlignCenter,
               "USB");
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(250, 250, 210));
    const QRectF tag(board.right() - 95, board.bottom() - 45, 80, 30);
    p.drawRect(tag);
    p.drawText(tag, Qt::AlignCenter, "CAL 3/1/08");
    p.setPen(QPen(QColor(200, 0, 0), 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(tag.adjusted(-10, -10, 10, 10));
    p.drawText(QPointF(tag.left() - 10, tag.top() - 16), "Calibration tag");
  }
};

}  // namespace

frmSetUSBAddress::frmSetUSBAddress(ShellState& shell, UserInterface& ui,
                                   std::filesystem::path addressFile, QWidget* parent)
    : QDialog(parent), shell_(shell), ui_(ui), addressFile_(std::move(addressFile)) {
  setObjectName("frmSetUSBAddress");
  setWindowTitle("Set Address");

  auto* layout = new QVBoxLayout(this);
  auto* frame1 = new QGroupBox("Set USB Address", this);
  frame1->setObjectName("Frame1");
  auto* grid = new QGridLayout(frame1);
  Text4 = new ClickBox(" 0", frame1);
  Text4->setObjectName("Text4");
  Text5 = new ClickBox(" 0", frame1);
  Text5->setObjectName("Text5");
  for (ClickBox* box : {Text4, Text5}) box->setFixedWidth(40);
  grid->addWidget(new QLabel("Jump4 (MSB):", frame1), 0, 0);
  grid->addWidget(Text4, 0, 1);
  grid->addWidget(new QLabel("Jump5 (LSB):", frame1), 1, 0);
  grid->addWidget(Text5, 1, 1);
  Label3 = new QLabel(frame1);
  Label3->setObjectName("Label3");
  grid->addWidget(Label3, 2, 0, 1, 2);
  Command2 = new QPushButton("About Jumper Settings", frame1);
  Command2->setObjectName("Command2");
  grid->addWidget(Command2, 3, 0, 1, 2);
  layout->addWidget(frame1);

  auto* frame2 = new QGroupBox("Address Type", this);
  frame2->setObjectName("Frame2");
  auto* type = new QVBoxLayout(frame2);
  Check1 = new QCheckBox("Use Legacy Addresses   ", frame2);
  Check1->setObjectName("Check1");
  Command1 = new QPushButton("What is a Legacy Address", frame2);
  Command1->setObjectName("Command1");
  type->addWidget(Check1);
  type->addWidget(Command1);
  layout->addWidget(frame2);

  Command3 = new QPushButton("Set Address and Exit", this);
  Command3->setObjectName("Command3");
  layout->addWidget(Command3);
  // Return in the window means the window's own action.
  Command3->setDefault(true);

  SetUsbAddressLoad(panel_, shell_, addressFile_);
  Render();

  connect(Text4, &ClickBox::clicked, this, [this] {
    SetUsbAddressJumperClick(panel_, shell_, 4);
    Render();
  });
  connect(Text5, &ClickBox::clicked, this, [this] {
    SetUsbAddressJumperClick(panel_, shell_, 5);
    Render();
  });
  connect(Check1, &QCheckBox::clicked, this, [this](bool checked) {
    SetUsbAddressCheck1Click(panel_, shell_, checked);
    Render();
  });
  connect(Command1, &QPushButton::clicked, this, [this] {
    frmCalDate explanation(this);
    explanation.exec();
  });
  connect(Command2, &QPushButton::clicked, this,
          [this] { ui_.MessageBox(JumperSettingsMessage(), "Set Address"); });
  connect(Command3, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
  setFixedWidth(300);
  GiveMnemonics(this, {});
}

void frmSetUSBAddress::Render() {
  Text4->setText(QString::fromStdString(panel_.Text4));
  Text5->setText(QString::fromStdString(panel_.Text5));
  Check1->setChecked(panel_.Check1);
  Label3->setText(QString::fromStdString(panel_.Label3));
}

void frmSetUSBAddress::showEvent(QShowEvent* event) {
  shown_ = {shell_.UsbAddress, shell_.LegacyAddressing, panel_};
  QDialog::showEvent(event);
}

void frmSetUSBAddress::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    // Escape takes the clicks back: the address the program looks for and
    // the stored one stay as they were when the window came up.
    shell_.UsbAddress = shown_.address;
    shell_.LegacyAddressing = shown_.legacy;
    panel_ = shown_.panel;
    Render();
    QDialog::done(QDialog::Rejected);
    return;
  }
  QDialog::keyPressEvent(event);
}

void frmSetUSBAddress::done(int result) {
  // The button and the close box end here, and both keep the address; a
  // file that cannot be written is not worth keeping the window up for.
  // The window is only hidden, so it shows its state again without reading
  // the file.
  SetUsbAddressSave(shell_, addressFile_);
  QDialog::done(result);
}

frmCalDate::frmCalDate(QWidget* parent) : QDialog(parent) {
  setObjectName("frmCalDate");
  setWindowTitle("What is a Legacy Address");
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel(FromCrLf(LegacyAddressExplanation()), this);
  Label1->setObjectName("Label1");
  layout->addWidget(Label1);
  layout->addWidget(new BoardPicture(this));
}

}  // namespace evm::gui
