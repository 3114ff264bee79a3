#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "gui/shell/form_main.h"
#include "gui/shell/frm_usb_com_prob.h"
#include "support/sim_fixture.h"

namespace evm::gui {
namespace {

// The underline of a mnemonic must not change a menu's text.
TEST(MainWindow, MenusKeepTheirTextsUnderTheirMnemonics) {
  test::SimContext c;
  formMain_QMA740 w(c.evm);
  QStringList menus;
  for (QAction* a : w.menuBar()->actions())
    menus << a->text().remove('&');  // the underline of a mnemonic
  EXPECT_EQ(menus, (QStringList{"EVM Controls", "USB Controls", "Help"}));
  const std::pair<const char*, const char*> entries[] = {
      {"mnuSaveReg", "Save Registers To File"},
      {"mnuLoadReg", "Load Registers From File"},
      {"mnuLogToFile", "Log ZM5520/1 To File"},
      {"mnuEngineeringMode", "Engineering Mode"},
      {"mnuC_Bits", "Control and Measure Bits"},
      {"cmdDac_Adc", "DAC and ADC"},
      {"cmdDUT_Writer", "DUT Writer"},
      {"mnuSetAddress", "Set Address"},
      {"mnuDebug", "Debug"},
      {"mnuAbout", "About"},
  };
  for (const auto& [name, caption] : entries) {
    auto* action = w.findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->text().remove('&'), caption);
  }
}

TEST(MainWindow, NotAcknowledgedIndicatorLeavesTheTabsWhereTheyAre) {
  test::SimContext c;
  formMain_QMA740 w(c.evm);
  ASSERT_TRUE(w.Load());
  w.show();
  auto* tabs = w.findChild<QTabWidget*>("SSTab1");
  auto* indicator = w.findChild<QLineEdit*>("txtDutNotAck");
  QApplication::processEvents();
  const QRect before = tabs->geometry();

  // A0 at "VS+" addresses a device that is not there.
  emit w.findChild<QComboBox*>("cmbA0")->activated(1);
  w.findChild<QPushButton*>("Command8")->click();
  QApplication::processEvents();
  ASSERT_TRUE(indicator->isVisible());
  EXPECT_EQ(tabs->geometry(), before) << "a control under the mouse must not jump away";

  emit w.findChild<QComboBox*>("cmbA0")->activated(0);
  w.findChild<QPushButton*>("Command8")->click();
  QApplication::processEvents();
  ASSERT_FALSE(indicator->isVisible());
  EXPECT_EQ(tabs->geometry(), before);
}

TEST(MainWindow, TabbingNeverStopsOnTheNotAcknowledgedIndicator) {
  test::SimContext c;
  formMain_QMA740 w(c.evm);
  ASSERT_TRUE(w.Load());
  w.show();
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  emit w.findChild<QComboBox*>("cmbA0")->activated(1);
  w.findChild<QPushButton*>("Command8")->click();
  auto* indicator = w.findChild<QLineEdit*>("txtDutNotAck");
  ASSERT_TRUE(indicator->isVisible());
  for (int i = 0; i < 40; ++i) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &w, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), indicator) << "after " << i + 1 << " tabs";
  }
}

TEST(MainWindow, AboutShowsTheVersionLine) {
  test::SimContext c;
  formMain_QMA740 w(c.evm);
  ASSERT_TRUE(w.Load());
  w.findChild<QAction*>("mnuAbout")->trigger();
  ASSERT_EQ(c.ui.messages.size(), 1u);
  EXPECT_EQ(c.ui.messages[0].text.rfind("ZM5520/1 Software  Rev. 1.0.0", 0), 0u);
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

TEST(UsbProblemDialog, EachButtonGivesItsChoice) {
  const std::pair<const char*, UsbProblemChoice> buttons[] = {
      {"Command1", UsbProblemChoice::TryAgain},
      {"Command2", UsbProblemChoice::RunWithoutUsb},
      {"Command3", UsbProblemChoice::AbortProgram},
      {"Command4", UsbProblemChoice::SetAddressAndTryAgain},
  };
  for (const auto& [name, choice] : buttons) {
    frmUSB_Com_Prob dialog;
    bool addressShown = false;
    dialog.onSetAddress = [&] { addressShown = true; };
    auto* button = dialog.findChild<QPushButton*>(name);
    ASSERT_NE(button, nullptr);
    button->setEnabled(true);
    QTimer::singleShot(0, button, &QPushButton::click);
    EXPECT_EQ(dialog.Ask(), choice) << name;
    EXPECT_EQ(addressShown, choice == UsbProblemChoice::SetAddressAndTryAgain);
  }
  frmUSB_Com_Prob dialog;
  EXPECT_EQ(dialog.windowTitle(), "USB Communication Problem");
  EXPECT_EQ(dialog.findChild<QPushButton*>("Command2")->text().remove(QChar('&')),
            "Run Without USB:  Put USB to Sleep");
}

TEST(UsbProblemDialog, EscapeOrTheCloseButtonTriesAgainAndNeverEndsTheProgram) {
  const std::pair<const char*, std::function<void(QDialog&)>> ways[] = {
      {"Escape", [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
      {"close button", [](QDialog& d) { d.close(); }},
  };
  for (const auto& [way, dismiss] : ways) {
    frmUSB_Com_Prob dialog;
    QTimer::singleShot(0, &dialog, [&dialog, dismiss = dismiss] { dismiss(dialog); });
    EXPECT_EQ(dialog.Ask(), UsbProblemChoice::TryAgain) << way;
  }
}

}  // namespace
}  // namespace evm::gui
