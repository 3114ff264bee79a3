// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>
#include <vector>

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

// Each tab has its own copy of the read button; a list choice reaches the
// grid, and Write All Edited the device.
TEST(RegisterTab, ReadButtonOnEveryTabFillsTheGridAndAListChoiceIsWritten) {
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

  auto* list = win.Find<QComboBox>("cmbShuntResolution");
  list->setCurrentIndex(11);
  emit list->activated(11);
  EXPECT_EQ(win.Cell(1, 1), " ***  Config *** ");
  win.Button("Command9", "tabAdConfig")->click();
  EXPECT_EQ(win.c.sim->RegLink()->Device().Register(0), 0x39FC) << "3994h, 128 shunt averages";
  EXPECT_EQ(win.Cell(1, 1), " Config");
}

TEST(RegisterTab, ABitBoxTogglesOncePerClickAndTheGridKeepsItsProportions) {
  Window win;
  auto* bit15 = win.Find<QLineEdit>("txtBit_15");
  Click(bit15);
  EXPECT_EQ(win.Cell(1, 2), "0x8000");
  // What the window system delivers for a double-click.
  Click(bit15);
  QTest::mouseDClick(bit15, Qt::LeftButton);
  QTest::mouseRelease(bit15, Qt::LeftButton);
  EXPECT_EQ(win.Cell(1, 2), "0x0000");

  // Each column is as wide as its padded header text at one width per
  // character, so the columns keep the header's proportions.
  const int chars[] = {7, 77, 13, 41, 30};
  const double perChar = win.Grid()->columnWidth(1) / 77.0;
  for (int c = 0; c < 5; ++c) EXPECT_NEAR(win.Grid()->columnWidth(c), chars[c] * perChar, 1) << c;
  QAction* mode = win.Find<QAction>("mnuEngineeringMode");
  mode->trigger();
  EXPECT_EQ(win.Grid()->rowCount(), 9);
  mode->trigger();
  EXPECT_EQ(win.Grid()->rowCount(), 7);
}

TEST(RegisterTab, TypingInTxtRegStoresHexAndRefusesTooLargeValues) {
  Window win;
  win.Grid()->setCurrentCell(6, 1);  // 05h
  auto* txtReg = win.Find<QLineEdit>("txtReg");
  Retype(txtReg, "a000");
  QTest::keyClick(txtReg, Qt::Key_Return);
  EXPECT_EQ(txtReg->text(), "A000");
  EXPECT_EQ(win.Cell(6, 2), "0xA000");

  txtReg->selectAll();
  Type(txtReg, "10000");
  QString behindTheMessage;
  win.c.ui.onMessage = [&] { behindTheMessage = txtReg->text(); };
  QTest::keyClick(txtReg, Qt::Key_Return);
  EXPECT_EQ(behindTheMessage, "A000") << "the old value is back before the message";
  ASSERT_EQ(win.c.ui.messages.size(), 1u);
  EXPECT_EQ(win.c.ui.messages[0].text,
            "The value you entered is larger then 16 bits.  Register Length = 16 bit.");

  win.Find<QToolButton>("updwnRegUp")->click();
  EXPECT_EQ(win.Cell(6, 2), "0xA001");
}

TEST(CalibrateTab, FirstActivationComputesTheRestoredDefaultsAndTypedInputsDriveTheButtons) {
  Window win;
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&win.w, &activate);
  EXPECT_EQ(win.Box("txtFSC_Hex"), "A000");
  EXPECT_EQ(win.Cell(6, 2), "0xA000");
  EXPECT_FALSE(win.Find<QPushButton>("cmdSecondCal")->isEnabled());
  EXPECT_TRUE(win.c.ui.messages.empty());

  win.Find<QPushButton>("Command8")->click();
  Retype(win.Find<QLineEdit>("txtRshunt"), "0");
  win.Find<QPushButton>("cmdEnterShuntR")->click();
  ASSERT_EQ(win.c.ui.messages.size(), 1u);
  EXPECT_EQ(win.c.ui.messages[0].text, "You must choose a valid value for Rshunt");

  Retype(win.Find<QLineEdit>("txtRshunt"), "0.1");
  Retype(win.Find<QLineEdit>("txtMaxExpectedCurrent"), "1");
  for (const char* button : {"cmdEnterShuntR", "cmdEnterMaxExpCur", "cmdEnterCurrentLSB"})
    win.Find<QPushButton>(button)->click();
  EXPECT_EQ(win.Box("txtFSC_Hex"), "1000");
  EXPECT_EQ(win.Find<QLabel>("Label91")->text(), "(Overflow Not Possible)");
  EXPECT_TRUE(win.Find<QPushButton>("cmdSecondCal")->isEnabled());
  EXPECT_EQ(win.c.sim->RegLink()->Device().Register(5), 0x1000);
}

TEST(EvmControls, StartReadsUntilStopBlinkingAndSaveLoadAndLogAskForAFile) {
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

  for (const char* name : {"mnuSaveReg", "mnuLoadReg", "mnuLogToFile"})
    win.Find<QAction>(name)->trigger();
  EXPECT_EQ(win.c.ui.fileDialogs.size(), 3u);
  EXPECT_FALSE(win.Find<QAction>("mnuLogToFile")->isChecked());
}

// The indicator keeps its band across the top even while hidden, so the tabs
// do not jump when a read fails or recovers; the keyboard never stops on it.
TEST(MainWindow, NotAcknowledgedIndicatorSpansTheTopWithoutMovingTheTabsOrTakingFocus) {
  Window win;
  win.w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&win.w));
  auto* tabs = win.Find<QWidget>("SSTab1");
  auto* indicator = win.Find<QLineEdit>("txtDutNotAck");
  const auto readAtA0 = [&](int choice) {
    emit win.Find<QComboBox>("cmbA0")->activated(choice);
    win.Find<QPushButton>("Command8")->click();
    QApplication::processEvents();
  };
  const QRect before = tabs->geometry();
  readAtA0(1);  // "VS+" addresses a device that is not there
  ASSERT_TRUE(indicator->isVisible());
  EXPECT_EQ(tabs->geometry(), before) << "a control under the mouse must not jump away";
  EXPECT_EQ(indicator->text(), "ZM5520/1 Did Not Acknowledge!");
  EXPECT_EQ(indicator->palette().color(QPalette::Text), QColor(Qt::red));
  EXPECT_LT(indicator->mapTo(&win.w, QPoint()).y(), tabs->mapTo(&win.w, QPoint()).y());
  EXPECT_GE(indicator->width(), tabs->width());
  for (int i = 0; i < 40; ++i) {
    QWidget* from = QApplication::focusWidget();
    QTest::keyClick(from ? from : &win.w, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), indicator) << "after " << i + 1 << " tabs";
  }
  readAtA0(0);
  EXPECT_FALSE(indicator->isVisible());
  EXPECT_EQ(tabs->geometry(), before);
}

TEST(MainWindow, HelpWithRegFollowsTheSelectedRegisterAndAboutShowsTheVersion) {
  Window win;
  auto* help = win.Find<QWidget>("frmHelpWithReg");
  auto* legend = Window::Child<QLabel>(help, "lblLegend");
  QPushButton* button = nullptr;
  for (QPushButton* b : win.w.findChildren<QPushButton*>("Command1")) {
    if (b->text().remove(QChar('&')) == "Help With Current Reg") button = b;
  }
  ASSERT_TRUE(legend && button);
  button->click();
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(legend->text().startsWith("RST - Device Reset."));
  for (const auto& [row, first] : {std::pair{5, "CSign: "}, std::pair{6, "FS15: "}}) {
    win.Grid()->setCurrentCell(row, 1);
    EXPECT_TRUE(legend->text().startsWith(first)) << legend->text().toStdString();
  }

  win.Find<QAction>("mnuAbout")->trigger();
  ASSERT_EQ(win.c.ui.messages.size(), 1u);
  EXPECT_EQ(win.c.ui.messages[0].text.rfind("ZM5520/1 Software  Rev. " EVM_VERSION_STRING, 0), 0u);
}

TEST(MainWindow, ClosingWritesTheSettingsFile) {
  test::SimContext c;
  {
    formMain_QMA740 w(c.evm);
    ASSERT_TRUE(w.Load());
    w.show();
    w.close();
  }
  EXPECT_TRUE(std::filesystem::exists(c.evm.StateFile("ZM5520_1EVM_Settings.csv")));
  EXPECT_FALSE(c.evm.regLink().LinkOpen());
}

// The register tab as it reaches the screen: measured on the window shown
// and laid out, and on what the screen holds rather than on a fresh paint.
void ShowRegistersTab(Window& win) {
  for (int i = 0; i < win.w.SSTab1->count(); ++i) {
    if (win.w.SSTab1->tabText(i).remove('&') == "Registers") win.w.SSTab1->setCurrentIndex(i);
  }
}

// What the screen holds of each bit caption (the offscreen screen's copy of
// the window) after a change is what a full repaint puts there, and differs
// where the caption's text does: after a bit changes and after another
// register is chosen, no old caption or underscore is left.
TEST(RegisterTab, BitCaptionsOnScreenFollowEveryChange) {
  Window win;
  ShowRegistersTab(win);
  std::vector<QLabel*> labels;
  for (int k = 0; k < 16; ++k) {
    labels.push_back(win.Find<QLabel>(QString("lblBit_%1").arg(k).toLatin1()));
    ASSERT_TRUE(labels.back()->isVisible());
  }
  // The small offscreen screen holds the tab scrolled: scrolled to the bit map.
  for (QWidget* w = labels[0]; w; w = w->parentWidget()) {
    if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
      scroll->ensureWidgetVisible(labels[15], 0, 0);
      scroll->ensureWidgetVisible(labels[0], 0, 0);
    }
  }
  for (QLabel* label : labels) {
    ASSERT_TRUE(win.w.rect().contains(QRect(label->mapTo(&win.w, QPoint(0, 0)), label->size())))
        << label->objectName().toStdString();
  }
  struct Shot {
    std::vector<QString> texts;
    std::vector<QImage> pixels;
  };
  const auto onScreen = [&] {
    QApplication::processEvents();
    Shot shot;
    for (QLabel* label : labels) {
      shot.texts.push_back(
          QString::fromStdString(win.w.Panels().registerPanel.lblBit[shot.texts.size()]));
      const QPoint at = label->mapTo(&win.w, QPoint(0, 0));
      shot.pixels.push_back(
          win.w.screen()
              ->grabWindow(win.w.winId(), at.x(), at.y(), label->width(), label->height())
              .toImage());
      EXPECT_FALSE(shot.pixels.back().isNull());
    }
    return shot;
  };
  const auto captionsFollow = [&](const char* when) {
    const Shot shown = onScreen();
    win.w.repaint();
    const Shot repainted = onScreen();
    for (size_t k = 0; k < labels.size(); ++k) {
      EXPECT_EQ(shown.pixels[k], repainted.pixels[k]) << when << ": lblBit_" << k;
    }
    return shown;
  };
  captionsFollow("shown");
  Click(win.Find<QLineEdit>("txtBit_10"));
  const Shot config = captionsFollow("a bit toggled");
  win.Grid()->setCurrentCell(2, 1);  // 01h: SD15..SD0 after B_ADC4..S_ADC1
  const Shot shunt = captionsFollow("another register");
  for (size_t k = 0; k < labels.size(); ++k) {
    if (config.texts[k] == shunt.texts[k]) continue;
    EXPECT_NE(config.pixels[k], shunt.pixels[k])
        << "lblBit_" << k << " still shows " << config.texts[k].toStdString();
  }
}

// Measured on the window as shown and laid out: at its own size every name
// shows whole, the trim rows' and the names marked as edited too; narrowed
// to a small screen, the chip's register names still do, marks aside.
TEST(RegisterTab, NameColumnShowsTheLongestNameWhole) {
  Window win;
  QTableWidget* grid = win.Grid();
  const auto namesFit = [&](const char* when, bool marked) {
    QApplication::processEvents();
    for (int row = 1; row < grid->rowCount(); ++row) {
      QString name = grid->item(row, 1)->text();
      if (!marked) name.replace(" *** ", "");
      EXPECT_LE(grid->fontMetrics().horizontalAdvance(name) + 6, grid->columnWidth(1))
          << when << ": '" << name.toStdString() << "'";
    }
  };
  ShowRegistersTab(win);
  win.w.resize(1600 - 8, 1000 - 30);  // a large screen less a window manager's frame
  win.Find<QAction>("mnuEngineeringMode")->trigger();
  emit win.Find<QComboBox>("cmbShuntGain")->activated(1);  // marks 00h edited
  namesFit("at its own size", true);
  win.Find<QAction>("mnuEngineeringMode")->trigger();
  win.w.resize(1024 - 8, 700 - 30);  // a small screen less a window manager's frame
  namesFit("narrowed", false);
}

}  // namespace
}  // namespace evm::gui
