// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "gui/main_window_fixture.h"

namespace evm::gui {
namespace {

using test_support::Click;
using test_support::Type;
using Window = test_support::MainWindowFixture;

void Retype(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  Type(box, text);
}

// Each tab has its own copy of the read button.
TEST(RegisterTab, ReadButtonOnEveryTabFillsTheGridAndListsFromTheDevice) {
  Window win;
  uint16_t config = 0x3990;
  for (const char* tab : {"tabOverview", "tabAdConfig", "tabCalibrate", "tabRegisters"}) {
    SCOPED_TRACE(tab);
    win.c.sim->RegLink()->Device().SetRegisterForTest(0, ++config);
    win.Button("Command8", tab)->click();
    EXPECT_EQ(win.Cell(1, 2), QString::asprintf("0x%04X", config));
  }
  EXPECT_EQ(win.Cell(1, 1), " Config");
  EXPECT_EQ(win.Find<QComboBox>("cmbShuntGain")->currentText(), "div 8 (320mV max)");
}

TEST(RegisterTab, ListChoiceMarksConfigAndWriteAllEditedSendsIt) {
  Window win;
  win.Button("Command8", "tabAdConfig")->click();
  auto* list = win.Find<QComboBox>("cmbShuntResolution");
  list->setCurrentIndex(11);
  emit list->activated(11);
  EXPECT_EQ(win.Cell(1, 2), "0x39FF");
  EXPECT_EQ(win.Cell(1, 1), " ***  Config *** ");
  win.Button("Command9", "tabAdConfig")->click();
  EXPECT_EQ(win.c.sim->RegLink()->Device().Register(0), 0x39FF);
  EXPECT_EQ(win.Cell(1, 1), " Config");
}

TEST(RegisterTab, ClickOrDoubleClickOnABitBoxTogglesTheBitOnceUnlessReadOnly) {
  Window win;
  auto* bit15 = win.Find<QLineEdit>("txtBit_15");
  Click(bit15);
  EXPECT_EQ(bit15->text(), "1");
  EXPECT_EQ(win.Cell(1, 2), "0x8000");
  EXPECT_EQ(win.Cell(1, 1), " ***  Config *** ");
  EXPECT_EQ(win.Find<QLineEdit>("txtReg")->text(), "8000");
  // What the window system delivers for a double-click.
  Click(bit15);
  QTest::mouseDClick(bit15, Qt::LeftButton);
  QTest::mouseRelease(bit15, Qt::LeftButton);
  EXPECT_EQ(win.Cell(1, 2), "0x0000");

  win.Grid()->setCurrentCell(2, 1);  // 01h, read-only
  auto* bit0 = win.Find<QLineEdit>("txtBit_0");
  Click(bit0);
  EXPECT_EQ(bit0->text(), "0");
  EXPECT_EQ(win.Cell(2, 2), "0x0000");
}

TEST(RegisterTab, TypingInTxtRegStoresHexAndRefusesTooLargeValues) {
  Window win;
  win.Grid()->setCurrentCell(6, 1);  // 05h
  auto* txtReg = win.Find<QLineEdit>("txtReg");
  Retype(txtReg, "a000");
  QTest::keyClick(txtReg, Qt::Key_Return);
  EXPECT_EQ(txtReg->text(), "A000");
  EXPECT_EQ(win.Cell(6, 2), "0xA000");
  EXPECT_EQ(win.Cell(6, 1), " ***  Full Scale Cal *** ");

  txtReg->selectAll();
  Type(txtReg, "10000");
  QString behindTheMessage;
  win.c.ui.onMessage = [&] { behindTheMessage = txtReg->text(); };
  QTest::keyClick(txtReg, Qt::Key_Return);
  EXPECT_EQ(behindTheMessage, "A000") << "the old value is back before the message";
  EXPECT_EQ(txtReg->text(), "A000");
  ASSERT_EQ(win.c.ui.messages.size(), 1u);
  EXPECT_EQ(win.c.ui.messages[0].text,
            "The value you entered is larger then 16 bits.  Register Length = 16 bit.");

  win.Find<QToolButton>("updwnRegUp")->click();
  EXPECT_EQ(win.Cell(6, 2), "0xA001");
}

// Each column is as wide as its padded header text at one width per
// character, so the columns keep the header's proportions.
TEST(RegisterTab, GridColumnsKeepTheHeaderProportionsAndEngineeringModeAddsTheTrimRows) {
  Window win;
  const int chars[] = {7, 77, 13, 41, 30};
  const double perChar = win.Grid()->columnWidth(1) / 77.0;
  for (int c = 0; c < 5; ++c) EXPECT_NEAR(win.Grid()->columnWidth(c), chars[c] * perChar, 1) << c;
  QAction* mode = win.Find<QAction>("mnuEngineeringMode");
  mode->trigger();
  EXPECT_EQ(win.Grid()->rowCount(), 9);
  mode->trigger();
  EXPECT_EQ(win.Grid()->rowCount(), 7);
}

TEST(CalibrateTab, FirstActivationComputesTheRestoredDefaults) {
  Window win;
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&win.w, &activate);
  EXPECT_EQ(win.Box("txtFSC_Hex"), "A000");
  EXPECT_EQ(win.Cell(6, 2), "0xA000");
  EXPECT_FALSE(win.Find<QPushButton>("cmdSecondCal")->isEnabled());
  EXPECT_TRUE(win.c.ui.messages.empty());
}

TEST(CalibrateTab, TypedInputsDriveTheButtons) {
  Window win;
  win.Find<QPushButton>("Command8")->click();
  Retype(win.Find<QLineEdit>("txtRshunt"), "0");
  win.Find<QPushButton>("cmdEnterShuntR")->click();
  ASSERT_EQ(win.c.ui.messages.size(), 1u);
  EXPECT_EQ(win.c.ui.messages[0].text, "You must choose a valid value for Rshunt");
  EXPECT_EQ(win.Box("txtRshunt"), "");

  Retype(win.Find<QLineEdit>("txtRshunt"), "0.1");
  Retype(win.Find<QLineEdit>("txtMaxExpectedCurrent"), "1");
  for (const char* button : {"cmdEnterShuntR", "cmdEnterMaxExpCur", "cmdEnterCurrentLSB"})
    win.Find<QPushButton>(button)->click();
  EXPECT_EQ(win.Box("txtFSC_Hex"), "1000");
  EXPECT_EQ(win.Find<QLabel>("Label91")->text(), "(Overflow Not Possible)");
  EXPECT_TRUE(win.Find<QPushButton>("cmdSecondCal")->isEnabled());
  EXPECT_EQ(win.c.sim->RegLink()->Device().Register(5), 0x1000);
}

TEST(ContinuousReadButtons, StartReadsUntilStopAndTheButtonsStopBlinking) {
  Window win;
  QPushButton* start = win.Find<QPushButton>("cmdStartContinuousRead");
  QStringList styles;
  win.c.ui.onProcessEvents = [&] {
    styles << start->styleSheet();
    if (win.c.ui.eventPasses == 2) win.Find<QPushButton>("cmdStopContinuousRead")->click();
  };
  start->click();
  ASSERT_EQ(styles.size(), 2);
  EXPECT_NE(styles[0], styles[1]) << "the start buttons blink once per pass";
  EXPECT_EQ(start->styleSheet(), "");
  EXPECT_EQ(win.Cell(1, 2), "0x399F");
}

TEST(EvmControlsMenu, SaveLoadAndLogAskForAFileAndACancelLogsNothing) {
  Window win;
  for (const char* name : {"mnuSaveReg", "mnuLoadReg", "mnuLogToFile"})
    win.Find<QAction>(name)->trigger();
  EXPECT_EQ(win.c.ui.fileDialogs.size(), 3u);
  EXPECT_FALSE(win.Find<QAction>("mnuLogToFile")->isChecked());
}

}  // namespace
}  // namespace evm::gui
