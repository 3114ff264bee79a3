#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "gui/main_window_fixture.h"
#include "gui/shell/form_main.h"
#include "shell/main_load.h"
#include "support/sim_fixture.h"

namespace evm::gui {
namespace {

using Window = test_support::MainWindowFixture;

void Retype(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  test_support::Type(box, text);
}

TEST(CalibrateTab, FirstActivationShowsTheRestoredDefaultsComputed) {
  Window win;
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(&win.w, &activate);
  EXPECT_EQ(win.Box("txtFSC_Hex"), "A000");
  EXPECT_EQ(win.Box("txtMaxPower"), "104.854 ");
  EXPECT_EQ(win.Find<QLabel>("Label91")->text(), "(Overflow Possible)");
  EXPECT_EQ(win.Find<QTableWidget>("gridReg")->item(6, 2)->text(), "0xA000");
  EXPECT_FALSE(win.Find<QPushButton>("cmdSecondCal")->isEnabled());
  EXPECT_FALSE(win.Find<QPushButton>("cmdReadInitCalCurrent")->isEnabled());
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
  win.Find<QPushButton>("cmdEnterShuntR")->click();
  win.Find<QPushButton>("cmdEnterMaxExpCur")->click();
  win.Find<QPushButton>("cmdEnterCurrentLSB")->click();
  EXPECT_EQ(win.Box("txtMaxPosCur"), "3.2");
  EXPECT_EQ(win.Box("txtFSC_Hex"), "1000");
  EXPECT_EQ(win.Box("txtMaxI_Hex"), "7D00");
  EXPECT_EQ(win.Find<QLabel>("Label91")->text(), "(Overflow Not Possible)");
  EXPECT_TRUE(win.Find<QPushButton>("cmdSecondCal")->isEnabled());
  EXPECT_TRUE(win.Find<QPushButton>("cmdReadInitCalCurrent")->isEnabled());
  EXPECT_EQ(win.c.sim->RegLink()->Device().Register(5), 0x1000);
}

TEST(ContinuousReadButtons, StartReadsUntilStopAndTheButtonsStopBlinking) {
  Window win;
  QPushButton* start = win.Find<QPushButton>("cmdStartContinuousRead");
  QPushButton* stop = win.Find<QPushButton>("cmdStopContinuousRead");
  QStringList styles;
  win.c.ui.onProcessEvents = [&] {
    styles << start->styleSheet();
    if (win.c.ui.eventPasses == 2) stop->click();
  };
  start->click();
  EXPECT_EQ(win.c.ui.eventPasses, 2);
  ASSERT_EQ(styles.size(), 2);
  EXPECT_NE(styles[0], styles[1]) << "the start buttons blink once per pass";
  EXPECT_EQ(start->styleSheet(), "");
  EXPECT_EQ(win.Find<QTableWidget>("gridReg")->item(1, 2)->text(), "0x399F");
}

TEST(EvmControlsMenu, SaveLoadAndLogOpenTheirDialogs) {
  Window win;
  for (const char* name : {"mnuSaveReg", "mnuLoadReg", "mnuLogToFile"}) {
    QAction* item = win.Find<QAction>(name);
    ASSERT_TRUE(item->isEnabled()) << name;
    item->trigger();
  }
  ASSERT_EQ(win.c.ui.fileDialogs.size(), 3u);
  EXPECT_EQ(win.c.ui.fileDialogs[2].filter, "Csv Files (*.csv)|*.csv|All Files (*.*)|*.*");
  EXPECT_FALSE(win.Find<QAction>("mnuLogToFile")->isChecked()) << "a cancel logs nothing";
}

}  // namespace
}  // namespace evm::gui
