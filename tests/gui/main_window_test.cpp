// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "gui/main_window_fixture.h"
#include "gui/shell/frm_usb_com_prob.h"

namespace evm::gui {
namespace {

using Window = test_support::MainWindowFixture;

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
  EXPECT_FALSE(c.evm.regLink.LinkOpen());
}

// Escape and the close button try again: neither may end the program.
TEST(UsbProblemDialog, EachWayOutGivesItsChoice) {
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

}  // namespace
}  // namespace evm::gui
