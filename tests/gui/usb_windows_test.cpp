#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "common/atomic_file.h"
#include "gui/shell/click_box.h"
#include "gui/shell/form_main.h"
#include "gui/shell/frm_set_usb_address.h"
#include "gui/shell/frm_usb_com_prob.h"
#include "gui/shell/qt_user_interface.h"
#include "gui/testboard/frm_debug_usb.h"
#include "support/sim_fixture.h"

namespace evm::gui {
namespace {

void Click(QWidget* widget) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
}

struct Opened {
  test::SimContext c;
  formMain_QMA740 w{c.evm};
  Opened() {
    EXPECT_TRUE(w.Load());
    w.show();
  }
  template <typename T = QWidget>
  T* Window(const char* action, const char* name) {
    w.findChild<QAction*>(action)->trigger();
    auto* window = w.findChild<QWidget*>(name);
    EXPECT_NE(window, nullptr) << name;
    return qobject_cast<T*>(window);
  }
  template <typename T>
  static T* Child(QWidget* window, const QString& name) {
    auto* child = window->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name.toStdString();
    return child;
  }
};

TEST(UsbWindows, MenuEntriesOpenTheirWindowsWithTheirCaptions) {
  Opened o;
  const std::tuple<const char*, const char*, const char*> windows[] = {
      {"mnuC_Bits", "frmC_M_Bits", "Control and Measure Bits"},
      {"cmdDUT_Writer", "frmUSB_DUT_Writer", "Debug USB Interface"},
      {"mnuSetAddress", "frmSetUSBAddress", "Set Address"},
      {"mnuDebug", "frmDebugUSB", "Debug the USB"},
  };
  for (const auto& [action, name, caption] : windows) {
    EXPECT_TRUE(o.w.findChild<QAction*>(action)->isEnabled()) << action;
    QWidget* window = o.Window(action, name);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), caption);
    EXPECT_TRUE(window->isVisible());
    o.w.findChild<QAction*>(action)->trigger();
    EXPECT_EQ(o.w.findChildren<QWidget*>(name).size(), 1) << "single instance: " << name;
  }
}

TEST(UsbWindows, SupplyButtonsSwitchTheDeviceUnderTest) {
  Opened o;
  auto* frame = o.w.findChild<QGroupBox*>("Frame7");
  auto* on = Opened::Child<QPushButton>(frame, "Command14");
  auto* off = Opened::Child<QPushButton>(frame, "Command30");
  EXPECT_EQ(on->text(), "On");
  EXPECT_EQ(off->text(), "Off");
  off->click();
  EXPECT_FALSE(o.c.sim->Supply().on);
  EXPECT_EQ(o.c.evm.dutWriter.MnemonicWords[1], "OFF");
  on->click();
  EXPECT_TRUE(o.c.sim->Supply().on);
}

TEST(UsbWindows, RawCommandWindowShowsBothReportsAndKeepsItsTexts) {
  Opened o;
  QWidget* writer = o.Window("cmdDUT_Writer", "frmUSB_DUT_Writer");
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(Opened::Child<QLabel>(writer, "lblToUSB_31")->text(), "31");
  EXPECT_EQ(Opened::Child<QLabel>(writer, "lblFromUSB_7")->text(), "7");
  EXPECT_EQ(Opened::Child<QLineEdit>(writer, "txtCmdString_2")->text(),
            "I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P ");
  Opened::Child<QPushButton>(writer, "Command3")->click();
  const QStringList sent{"2", "2", "0", "A", "AA", "C0", "0", "3", "98", "6", "10"};
  for (int i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(Opened::Child<QLineEdit>(writer, QString("txtToUSB_%1").arg(i))->text(), sent[i]);
  }
  const uint8_t sequence = o.c.evm.dutWriter.SequenceNumber;
  EXPECT_EQ(Opened::Child<QLineEdit>(writer, "txtToUSB_31")->text(),
            QString::number(sequence, 16).toUpper());
  EXPECT_EQ(Opened::Child<QLineEdit>(writer, "txtFromUSB_31")->text(),
            QString::number(sequence + 1, 16).toUpper());
  EXPECT_EQ(Opened::Child<QLineEdit>(writer, "Text2")->text(), "0 0 0 0 ");

  auto* box3 = Opened::Child<QLineEdit>(writer, "txtCmdString_3");
  box3->setText("I2C CH3 S 90 P");
  Opened::Child<QPushButton>(writer, "Command4")->click();
  ASSERT_EQ(o.c.ui.messages.size(), 1u);
  EXPECT_EQ(o.c.ui.messages[0].title, "Error!");

  Opened::Child<QLineEdit>(writer, "txtCmdString_4")->setText("CMD MUX 81");
  writer->close();
  QApplication::processEvents();
  EXPECT_EQ(ReadWholeFile(o.c.evm.StateFile("DUT_Writer.csv"))->substr(0, 10), "\"CMD ON\"\r\n");
  QWidget* again = o.Window("cmdDUT_Writer", "frmUSB_DUT_Writer");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Opened::Child<QLineEdit>(again, "txtCmdString_4")->text(), "CMD MUX 81");
  EXPECT_EQ(Opened::Child<QLineEdit>(again, "txtCmdString_3")->text(), "I2C CH3 S 90 P");
}

TEST(UsbWindows, ControlBitsRoundTripThroughTheBoard) {
  Opened o;
  QWidget* bits = o.Window("mnuC_Bits", "frmC_M_Bits");
  ASSERT_NE(bits, nullptr);
  for (int i : {0, 2, 5, 7}) {
    Click(Opened::Child<QLineEdit>(bits, QString("Text1_%1").arg(i)));
  }
  EXPECT_EQ(Opened::Child<QLineEdit>(bits, "Text1_2")->text(), " 1");
  Opened::Child<QPushButton>(bits, "Command1")->click();
  EXPECT_EQ(Opened::Child<QLineEdit>(bits, "Text2")->text(), "A5");
  Opened::Child<QPushButton>(bits, "Command3")->click();
  EXPECT_EQ(Opened::Child<QLineEdit>(bits, "Text6")->text(), "A5");
  EXPECT_EQ(Opened::Child<QLineEdit>(bits, "Text5_0")->text(), "1");
  EXPECT_EQ(Opened::Child<QLineEdit>(bits, "Text5_1")->text(), "0");
}

TEST(UsbWindows, DebugWindowSwitchesLevelsAndShowsTheLog) {
  Opened o;
  QWidget* debug = o.Window("mnuDebug", "frmDebugUSB");
  ASSERT_NE(debug, nullptr);
  auto* toggle = Opened::Child<QPushButton>(debug, "Command1");
  auto* verbose = Opened::Child<QCheckBox>(debug, "chkVerbose");
  auto* log = Opened::Child<QPlainTextEdit>(debug, "txtUSB_Debug");
  EXPECT_EQ(toggle->text(), "Press for Debug");
  toggle->click();
  EXPECT_EQ(toggle->text(), "Press to Turn off Debug");
  EXPECT_EQ(o.c.evm.usbDebug.UsbDebugLevel, DebugTrace::Mnemonic);
  o.w.findChild<QPushButton*>("Command14")->click();
  QApplication::processEvents();
  EXPECT_EQ(log->toPlainText(), "CMD ON \n");
  verbose->click();
  EXPECT_EQ(o.c.evm.usbDebug.UsbDebugLevel, DebugTrace::Hid);
  o.w.findChild<QPushButton*>("Command30")->click();
  QApplication::processEvents();
  EXPECT_TRUE(log->toPlainText().contains("***** HID Test Report *****"));
  Opened::Child<QPushButton>(debug, "Command2")->click();
  EXPECT_EQ(log->toPlainText(), "");
  debug->close();
  QApplication::processEvents();
  EXPECT_EQ(o.c.evm.usbDebug.UsbDebugLevel, DebugTrace::Hid)
      << "closing the window keeps logging on";
}

// The window takes what was logged in one batch at the next event pass,
// and drops from its top what the log dropped.
TEST(UsbWindows, DebugWindowShowsTheLogOncePerEventPass) {
  test::SimContext c;
  frmDebugUSB w(c.evm);
  for (const int entries : {30000, 3000}) {
    const int blocks = w.txtUSB_Debug->document()->blockCount();
    for (int i = 0; i < entries; ++i) c.evm.usbDebug.Entry("line " + std::to_string(i));
    EXPECT_EQ(w.txtUSB_Debug->document()->blockCount(), blocks) << "not drawn before the pass";
    QApplication::processEvents();
    ASSERT_GT(c.evm.usbDebug.DroppedLines(), 0u);
    EXPECT_EQ(w.txtUSB_Debug->toPlainText(),
              QString::fromStdString(c.evm.usbDebug.Text()).remove('\r'));
  }
}

TEST(UsbWindows, SetAddressWindowSetsAndStoresTheAddress) {
  Opened o;
  QWidget* window = o.Window("mnuSetAddress", "frmSetUSBAddress");
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(Opened::Child<QLabel>(window, "Label3")->text(), "MyProductID = 2F90h");
  EXPECT_EQ(Opened::Child<QCheckBox>(window, "Check1")->text(), "Use Legacy Addresses   ");
  Click(Opened::Child<QLineEdit>(window, "Text5"));
  EXPECT_EQ(Opened::Child<QLineEdit>(window, "Text5")->text(), " 1");
  EXPECT_EQ(Opened::Child<QLabel>(window, "Label3")->text(), "MyProductID = 2F91h");
  Opened::Child<QCheckBox>(window, "Check1")->click();
  EXPECT_EQ(*o.c.evm.shell.UsbAddress, 0x1234);
  Opened::Child<QPushButton>(window, "Command3")->click();
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(*ReadWholeFile(o.c.evm.StateFile("EVM_Address_Settings.csv")), "4660\r\n");

  frmCalDate explanation;
  EXPECT_EQ(explanation.windowTitle(), "What is a Legacy Address");
  EXPECT_TRUE(explanation.findChild<QLabel*>("Label1")->text().startsWith(
      "For units calibrated before 3/1/08 use 'Legacy' addresses.\nSee figure"));
}

// Escape keeps the choice as the other ways out do; the window is hidden,
// so showing it again does not read the file.
TEST(UsbWindows, EscapeInSetAddressStoresTheChoiceAndShowingAgainKeepsIt) {
  Opened o;
  const auto file = o.c.evm.StateFile("EVM_Address_Settings.csv");
  QPointer window = o.Window<frmSetUSBAddress>("mnuSetAddress", "frmSetUSBAddress");
  ASSERT_TRUE(window);
  Click(window->Text5);
  QTest::keyClick(window, Qt::Key_Escape);
  QApplication::processEvents();
  ASSERT_TRUE(window);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(*ReadWholeFile(file), "12177\r\n");
  ASSERT_TRUE(WriteFileAtomically(file, "4661\r\n"));
  EXPECT_EQ(o.Window<frmSetUSBAddress>("mnuSetAddress", "frmSetUSBAddress"), window);
  EXPECT_EQ(window->Label3->text(), "MyProductID = 2F91h");
}

TEST(UsbWindows, UsbProblemDialogOffersSetAddressOnceTheWindowExists) {
  test::TempDir dir;
  FakeClock clock;
  QtUserInterface ui;
  auto sim = sim::SimulatedEvm::CreateDefault(clock, kDefaultBoardVendorId);
  Evm evm(EvmSeams{*sim, clock, ui, NumberLocale::Point(), dir.path(), kDefaultBoardVendorId});
  formMain_QMA740 w(evm);
  bool enabled = false;
  bool addressShown = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<frmUSB_Com_Prob*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    enabled = dialog->Command4->isEnabled();
    QTimer::singleShot(0, [&] {
      auto* address = qobject_cast<frmSetUSBAddress*>(QApplication::activeModalWidget());
      addressShown = address != nullptr;
      if (address) address->Command3->click();
    });
    dialog->Command4->click();
  });
  EXPECT_EQ(ui.UsbProblemDialog(), UsbProblemChoice::SetAddressAndTryAgain);
  EXPECT_TRUE(enabled);
  EXPECT_TRUE(addressShown);
}

}  // namespace
}  // namespace evm::gui
