#include <gtest/gtest.h>

#include <QLabel>

#include "gui/main_window_fixture.h"

namespace evm::gui {
namespace {

using Window = test_support::MainWindowFixture;

void Retype(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  test_support::Type(box, text);
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
