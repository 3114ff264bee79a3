#include <gtest/gtest.h>

#include <QComboBox>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>

#include "gui/main_window_fixture.h"

namespace evm::gui {
namespace {

// A left click as the window system delivers it: press, then release.
void Click(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  const QPointF global = w->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

using test_support::Type;
using Window = test_support::MainWindowFixture;

void PressReturn(QWidget* w) {
  QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(w, &key);
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
  EXPECT_EQ(win.Find<QLineEdit>("txtMaxShunt")->text(), "0.32");
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

// Each column is as wide as its padded header text at one width per
// character, so the columns keep the header's proportions.
TEST(RegisterTab, GridColumnsKeepTheHeaderProportions) {
  Window win;
  const int chars[] = {7, 77, 13, 41, 30};
  const double perChar = win.Grid()->columnWidth(1) / 77.0;
  for (int c = 0; c < 5; ++c) EXPECT_NEAR(win.Grid()->columnWidth(c), chars[c] * perChar, 1) << c;
}

TEST(RegisterTab, TypingInTxtRegStoresHexAndRefusesTooLargeValues) {
  Window win;
  win.Grid()->setCurrentCell(6, 1);  // 05h
  auto* txtReg = win.Find<QLineEdit>("txtReg");
  txtReg->setFocus();
  txtReg->selectAll();
  Type(txtReg, "a000");
  PressReturn(txtReg);
  EXPECT_EQ(txtReg->text(), "A000");
  EXPECT_EQ(win.Cell(6, 2), "0xA000");
  EXPECT_EQ(win.Cell(6, 1), " ***  Full Scale Cal *** ");

  txtReg->selectAll();
  Type(txtReg, "10000");
  QString behindTheMessage;
  win.c.ui.onMessage = [&] { behindTheMessage = txtReg->text(); };
  PressReturn(txtReg);
  EXPECT_EQ(behindTheMessage, "A000") << "the old value is back before the message";
  EXPECT_EQ(txtReg->text(), "A000");
  ASSERT_EQ(win.c.ui.messages.size(), 1u);
  EXPECT_EQ(win.c.ui.messages[0].text,
            "The value you entered is larger then 16 bits.  Register Length = 16 bit.");

  win.Find<QToolButton>("updwnRegUp")->click();
  EXPECT_EQ(win.Cell(6, 2), "0xA001");
}

TEST(RegisterTab, EngineeringModeAddsAndRemovesTheTrimRows) {
  Window win;
  QAction* mode = win.Find<QAction>("mnuEngineeringMode");
  mode->trigger();
  EXPECT_EQ(win.Grid()->rowCount(), 9);
  mode->trigger();
  EXPECT_EQ(win.Grid()->rowCount(), 7);
}

}  // namespace
}  // namespace evm::gui
