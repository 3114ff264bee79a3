#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "gui/main_window_fixture.h"
#include "gui/shell/form_main.h"
#include "support/sim_fixture.h"

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

TEST(RegisterTab, ReadButtonsOnEveryTabFillTheGridFromTheDevice) {
  for (const char* tab : {"tabOverview", "tabAdConfig", "tabCalibrate", "tabRegisters"}) {
    SCOPED_TRACE(tab);
    Window win;
    win.Button("Command8", tab)->click();
    EXPECT_EQ(win.Cell(1, 2), "0x399F");
    EXPECT_EQ(win.Cell(1, 3), "0011_1001_1001_1111");
    EXPECT_EQ(win.Cell(1, 1), " Config");
    EXPECT_EQ(win.Find<QComboBox>("cmbShuntGain")->currentText(), "div 8 (320mV max)");
    EXPECT_EQ(win.Find<QComboBox>("cmbCnvMode")->currentText(), "Shunt & Bus Voltage, Continuous");
    EXPECT_EQ(win.Find<QLineEdit>("txtMaxShunt")->text(), "0.32");
    EXPECT_FALSE(win.Find<QLineEdit>("txtDutNotAck")->isVisible());
  }
  Window win;
  EXPECT_EQ(win.Button("Command9", "tabOverview")->text().remove(QChar('&')), "Write All Edited ");
  EXPECT_EQ(win.Button("Command9", "tabRegisters")->text().remove(QChar('&')), "Write all Edited ");
  EXPECT_EQ(win.Button("Command31", "tabRegisters")->text().remove(QChar('&')),
            "Write Current Reg");
}

TEST(RegisterTab, UnacknowledgedReadShowsTheRedIndicatorAcrossTheTop) {
  Window win;
  win.c.sim->RegLink()->plugged = false;
  win.Button("Command8", "tabRegisters")->click();
  auto* indicator = win.Find<QLineEdit>("txtDutNotAck");
  auto* tabs = win.Find<QWidget>("SSTab1");
  ASSERT_TRUE(indicator->isVisible());
  EXPECT_EQ(indicator->text(), "ZM5520/1 Did Not Acknowledge!");
  EXPECT_EQ(indicator->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
  EXPECT_EQ(indicator->palette().color(QPalette::Text), QColor(Qt::red));
  const QPoint indicatorTop = indicator->mapTo(&win.w, QPoint(0, 0));
  const QPoint tabsTop = tabs->mapTo(&win.w, QPoint(0, 0));
  EXPECT_LT(indicatorTop.y(), tabsTop.y());
  EXPECT_GE(indicator->width(), tabs->width());
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

  win.Grid()->setCurrentCell(2, 1);  // 01h
  auto* bit0 = win.Find<QLineEdit>("txtBit_0");
  EXPECT_EQ(bit0->palette().color(QPalette::Base), QColor(0xE0, 0xE0, 0xE0));
  Click(bit0);
  EXPECT_EQ(bit0->text(), "0");
  EXPECT_EQ(win.Cell(2, 2), "0x0000");
  EXPECT_EQ(win.Find<QLabel>("lblBit_15")->text(), "D15");
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
  ASSERT_TRUE(mode->isEnabled());
  mode->trigger();
  EXPECT_TRUE(mode->isChecked());
  EXPECT_EQ(win.Grid()->rowCount(), 9);
  mode->trigger();
  EXPECT_FALSE(mode->isChecked());
  EXPECT_EQ(win.Grid()->rowCount(), 7);
}

}  // namespace
}  // namespace evm::gui
