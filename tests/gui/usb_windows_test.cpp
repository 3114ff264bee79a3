// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "common/atomic_file.h"
#include "gui/main_window_fixture.h"
#include "gui/shell/click_box.h"
#include "gui/shell/frm_choose_boards.h"
#include "gui/shell/frm_set_usb_address.h"
#include "gui/shell/frm_usb_com_prob.h"
#include "gui/shell/qt_user_interface.h"
#include "gui/testboard/frm_debug_usb.h"

namespace evm::gui {
namespace {

using Opened = test_support::MainWindowFixture;

using test_support::Click;

QString Text(QWidget* window, const QString& box) {
  return Opened::Child<QLineEdit>(window, box)->text();
}

TEST(UsbWindows, MenuEntriesOpenOneWindowEachAndControlBitsGoRoundTheBoard) {
  Opened o;
  for (const auto& [action, name] : {std::pair{"mnuC_Bits", "frmC_M_Bits"},
                                     {"cmdDUT_Writer", "frmUSB_DUT_Writer"},
                                     {"mnuSetAddress", "frmSetUSBAddress"},
                                     {"mnuDebug", "frmDebugUSB"}}) {
    QWidget* window = o.Open(action, name);
    ASSERT_TRUE(window && window->isVisible()) << name;
    o.Open(action, name);
    EXPECT_EQ(o.w.findChildren<QWidget*>(name).size(), 1) << "single instance: " << name;
  }
  QWidget* bits = o.w.findChild<QWidget*>("frmC_M_Bits");
  for (int i : {0, 2, 5, 7}) Click(Opened::Child<QLineEdit>(bits, QString("Text1_%1").arg(i)));
  Opened::Child<QPushButton>(bits, "Command1")->click();
  EXPECT_EQ(Text(bits, "Text2"), "A5");
  Opened::Child<QPushButton>(bits, "Command3")->click();
  EXPECT_EQ(Text(bits, "Text6"), "A5");
  EXPECT_EQ(Text(bits, "Text5_0"), "1");
  EXPECT_EQ(Text(bits, "Text5_1"), "0");
}

TEST(UsbWindows, RawCommandWindowShowsBothReportsAndKeepsItsTexts) {
  Opened o;
  QWidget* writer = o.Open("cmdDUT_Writer", "frmUSB_DUT_Writer");
  Opened::Child<QPushButton>(writer, "Command3")->click();
  EXPECT_EQ(Text(writer, "txtToUSB_8"), "98");
  const uint8_t sequence = o.c.evm.dutWriter().SequenceNumber;
  EXPECT_EQ(Text(writer, "txtToUSB_31"), QString::number(sequence, 16).toUpper());
  EXPECT_EQ(Text(writer, "txtFromUSB_31"), QString::number(sequence + 1, 16).toUpper());
  EXPECT_EQ(Text(writer, "Text2"), "0 0 0 0 ");

  Opened::Child<QLineEdit>(writer, "txtCmdString_3")->setText("I2C CH3 S 90 P");
  Opened::Child<QPushButton>(writer, "Command4")->click();
  ASSERT_EQ(o.c.ui.messages.size(), 1u);
  EXPECT_EQ(o.c.ui.messages[0].title, "Error!");

  Opened::Child<QLineEdit>(writer, "txtCmdString_4")->setText("CMD MUX 81");
  writer->close();
  QApplication::processEvents();
  EXPECT_EQ(ReadWholeFile(o.c.evm.StateFile("DUT_Writer.csv"))->substr(0, 10), "\"CMD ON\"\r\n");
  QWidget* again = o.Open("cmdDUT_Writer", "frmUSB_DUT_Writer");
  EXPECT_EQ(Text(again, "txtCmdString_4"), "CMD MUX 81");
}

TEST(EvalWindow, ControlsReachTheBoardAndCloseWritesTheSettings) {
  Opened o;
  QWidget* eval = o.Open("cmdDac_Adc", "frmEvalControl");
  const auto button = [&](const char* name) { return o.Child<QAbstractButton>(eval, name); };
  const auto box = [&](const char* name) { return o.Child<QLineEdit>(eval, name); };
  const auto click = [&](const char* name) { button(name)->click(); };
  // The option of the reference shown is marked; opening applies none.
  EXPECT_EQ(box("Text5")->text(), "5");
  EXPECT_TRUE(button("Option1")->isChecked());
  EXPECT_EQ(o.c.evm.calBoard().RefMode, Reference::None);

  click("Option12");  // CNV2+ GND
  click("Check1");    // the current loop
  EXPECT_FALSE(button("Option10")->isEnabled());
  click("Option1");
  click("cmdRead_I_Loop");
  EXPECT_NEAR(box("txt_I_Loop")->text().toDouble(), 12.5, 0.2);
  click("Check1");
  EXPECT_TRUE(button("Option10")->isEnabled());

  click("Option11");  // CNV2+ from DAC D
  click("Option15");  // CNV2- ground
  click("chkDAC_AutoCal");
  box("Text9")->setText("1.7V");
  click("Command9");
  click("Command6");
  EXPECT_NEAR(box("Text11")->text().toDouble(), 1.7, 0.001);

  EXPECT_TRUE(o.c.ui.messages.empty());
  click("Option2");
  eval->close();
  QApplication::processEvents();
  EXPECT_EQ(*ReadWholeFile(o.c.evm.StateFile("ControlEVM_Settings.csv")), "3\r\n2\r\n");
}

TEST(UsbWindows, DebugWindowSwitchesLevelsAndShowsTheSupplyButtonsCommands) {
  Opened o;
  QWidget* debug = o.Open("mnuDebug", "frmDebugUSB");
  auto* toggle = Opened::Child<QPushButton>(debug, "Command1");
  auto* log = Opened::Child<QPlainTextEdit>(debug, "txtUSB_Debug");
  toggle->click();
  EXPECT_EQ(toggle->text().remove(QChar('&')), "Press to Turn off Debug");
  EXPECT_EQ(o.c.evm.usbDebug().UsbDebugLevel, DebugTrace::Mnemonic);
  // The supply buttons of the main window send through the logged path.
  auto* supply = o.Find<QGroupBox>("Frame7");
  Opened::Child<QPushButton>(supply, "Command14")->click();
  QApplication::processEvents();
  EXPECT_EQ(log->toPlainText(), "CMD ON \n");
  Opened::Child<QCheckBox>(debug, "chkVerbose")->click();
  EXPECT_EQ(o.c.evm.usbDebug().UsbDebugLevel, DebugTrace::Hid);
  Opened::Child<QPushButton>(supply, "Command30")->click();
  QApplication::processEvents();
  EXPECT_TRUE(log->toPlainText().contains("***** HID Test Report *****"));
  EXPECT_FALSE(o.c.sim->Supply().on);
  Opened::Child<QPushButton>(debug, "Command2")->click();
  EXPECT_EQ(log->toPlainText(), "");
  debug->close();
  QApplication::processEvents();
  EXPECT_EQ(o.c.evm.usbDebug().UsbDebugLevel, DebugTrace::Hid)
      << "closing the window keeps logging on";
}

// The window takes what was logged in one batch at the next event pass,
// drops from its top what the log dropped and keeps the newest line in view.
TEST(UsbWindows, DebugWindowShowsTheLogOncePerEventPass) {
  test::SimContext c;
  frmDebugUSB w(c.evm.usbDebug(), c.panels.debugPanel);
  w.show();
  for (const int entries : {30000, 3000}) {
    const int blocks = w.txtUSB_Debug->document()->blockCount();
    for (int i = 0; i < entries; ++i) c.evm.usbDebug().Entry("line " + std::to_string(i));
    EXPECT_EQ(w.txtUSB_Debug->document()->blockCount(), blocks) << "not drawn before the pass";
    QApplication::processEvents();
    ASSERT_GT(c.evm.usbDebug().DroppedLines(), 0u);
    EXPECT_EQ(w.txtUSB_Debug->toPlainText(),
              QString::fromStdString(c.evm.usbDebug().Text()).remove('\r'));
    const QRect caret = w.txtUSB_Debug->cursorRect();
    EXPECT_TRUE(w.txtUSB_Debug->viewport()->rect().contains(caret)) << "the end is in view";
  }
}

// The button and the close box store the choice; Escape leaves the stored
// address as it was. The window is hidden, so showing it again does not
// read the file.
TEST(UsbWindows, SetAddressStoresTheChoiceUnlessEscapedAndShowingAgainKeepsIt) {
  enum class Way { Button, CloseBox, Escape };
  const std::tuple<Way, const char*, const char*> cases[] = {
      {Way::Button, "4660\r\n", "MyProductID = 1234h"},
      {Way::CloseBox, "4660\r\n", "MyProductID = 1234h"},
      {Way::Escape, "12176\r\n", "MyProductID = 2F90h"},
  };
  for (const auto& [way, stored, shownAgain] : cases) {
    SCOPED_TRACE(shownAgain);
    Opened o;
    const auto file = o.c.evm.StateFile("EVM_Address_Settings.csv");
    ASSERT_TRUE(WriteFileAtomically(file, "12176\r\n"));
    QPointer window = qobject_cast<frmSetUSBAddress*>(o.Open("mnuSetAddress", "frmSetUSBAddress"));
    ASSERT_TRUE(window);
    Click(window->Text5);
    EXPECT_EQ(window->Label3->text(), "MyProductID = 2F91h");
    window->Check1->click();
    EXPECT_EQ(*o.c.evm.shell().UsbAddress, 0x1234);
    if (way == Way::Escape) QTest::keyClick(window, Qt::Key_Escape);
    if (way == Way::CloseBox) window->close();
    if (way == Way::Button) window->Command3->click();
    QApplication::processEvents();
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(*ReadWholeFile(file), stored);
    EXPECT_EQ(*o.c.evm.shell().UsbAddress, way == Way::Escape ? 0x2F90 : 0x1234);
    EXPECT_EQ(o.c.evm.shell().LegacyAddressing, way != Way::Escape);
    ASSERT_TRUE(WriteFileAtomically(file, "4661\r\n"));
    EXPECT_EQ(o.Open("mnuSetAddress", "frmSetUSBAddress"), window);
    EXPECT_EQ(window->Label3->text(), shownAgain);
    EXPECT_EQ(window->Check1->isChecked(), way != Way::Escape);
  }
}

// Without a board the readings say so instead of showing zeros, and the
// menu looks for the board again: in vain while it is still missing.
TEST(UsbWindows, RunWithoutUsbShowsNoReadingsAndTryUsbAgainLeavesItOnceTheBoardIsThere) {
  test::SimContext c;
  sim::RegLinkBoard& link = *c.sim->RegLink();
  c.sim->Unplug(link);
  c.ui.usbProblemAnswers = {UsbProblemChoice::RunWithoutUsb};
  formMain_QMA740 w{c.evm};
  ASSERT_TRUE(w.Load());
  w.show();
  QApplication::setActiveWindow(&w);
  QApplication::processEvents();
  auto* shunt = w.findChild<QLineEdit*>("txtShunt_0");
  ASSERT_NE(shunt, nullptr);
  EXPECT_EQ(shunt->text(), "");
  EXPECT_EQ(shunt->placeholderText(), "no board");
  EXPECT_TRUE(w.txtDutNotAck->isVisible());
  EXPECT_TRUE(w.txtDutNotAck->text().contains("Try USB Again"));
  auto* bus = w.findChild<QLineEdit*>("txtVbus_0");
  for (const bool plugged : {false, true}) {
    if (plugged) c.sim->Replug(link);
    c.ui.messages.clear();
    ASSERT_TRUE(w.mnuTryUsbAgain->isEnabled());
    w.mnuTryUsbAgain->trigger();
    EXPECT_EQ(c.evm.shell().RunWithoutUsb, !plugged);
    EXPECT_EQ(c.ui.messages.size(), plugged ? 0u : 1u) << "in vain, it says what it looked for";
    EXPECT_EQ(w.mnuTryUsbAgain->isEnabled(), !plugged);
    EXPECT_EQ(w.txtDutNotAck->isVisible(), !plugged);
    EXPECT_EQ(shunt->placeholderText().isEmpty(), plugged);
    EXPECT_EQ(bus->text().toDouble() > 11, plugged) << "the bus volts read: " << plugged;
  }
}

TEST(UsbWindows, UsbProblemDialogGivesEachWayOutsChoiceAndOffersSetAddress) {
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

  // Each way out gives its choice; Escape and the close button try again,
  // neither may end the program.
  const std::pair<const char*, UsbProblemChoice> ways[] = {
      {"Command1", UsbProblemChoice::TryAgain},     {"Command2", UsbProblemChoice::RunWithoutUsb},
      {"Command3", UsbProblemChoice::AbortProgram}, {"Escape", UsbProblemChoice::TryAgain},
      {"close", UsbProblemChoice::TryAgain},
  };
  for (const auto& [way, choice] : ways) {
    SCOPED_TRACE(way);
    frmUSB_Com_Prob dialog;
    QTimer::singleShot(0, &dialog, [&dialog, way = std::string(way)] {
      if (way == "Escape") {
        QTest::keyClick(&dialog, Qt::Key_Escape);
      } else if (way == "close") {
        dialog.close();
      } else {
        dialog.findChild<QPushButton*>(QString::fromStdString(way))->click();
      }
    });
    EXPECT_EQ(dialog.Ask(), choice);
  }
}

TEST(ChooseBoards, TheArrowKeysPickABoardAndReturnUsesIt) {
  test::SimContext c(NumberLocale::Point(), {.simulate = true, .simulatedBoards = 2});
  ASSERT_TRUE(c.evm.regLink().OpenRegLink());
  frmChooseBoards dialog(c.evm);
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_EQ(QApplication::focusWidget(), dialog.gridRegLink);
  ASSERT_EQ(dialog.gridRegLink->currentRow(), 0) << "the link in use";
  QTest::keyClick(dialog.gridRegLink, Qt::Key_Down);
  QTest::keyClick(dialog.gridRegLink, Qt::Key_Return);
  EXPECT_EQ(c.evm.regLink().SelectedBoard, "RL0002");
  EXPECT_TRUE(dialog.isVisible()) << "the dialog stays for the other board";
}

}  // namespace
}  // namespace evm::gui
