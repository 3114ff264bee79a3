// A goto loop in the script window is ended by a click on "Exit Loop" that
// arrives while the run goes on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "gui/script/frm_script.h"
#include "script/fake_script_board.h"
#include "script/script_interpreter.h"
#include "support/recording_ui.h"

namespace evm::gui {
namespace {

TEST(ScriptWindow, ExitLoopClickedDuringARunEndsTheGotoLoop) {
  FakeClock clock;
  test::FakeScriptBoard board{clock};
  test::RecordingUi ui;
  frmScript w{board, ui, NumberLocale::Point()};
  w.show();
  auto* grid = w.findChild<QTableWidget*>("MSFlexGrid1");
  auto* entry = w.findChild<QLineEdit*>("Text1");
  auto* enter = w.findChild<QPushButton*>("Command1");
  auto* run = w.findChild<QPushButton*>("Command2");
  auto* exitLoop = w.findChild<QPushButton*>("Command9");
  ASSERT_TRUE(grid && entry && enter && run && exitLoop);
  const auto type = [&](int row, const QString& text) {
    emit grid->cellClicked(row - 1, 1);
    entry->clear();
    QTest::keyClicks(entry, text);
    QTest::mouseClick(enter, Qt::LeftButton);
  };
  type(1, "CMD ON");
  type(2, "goto 1");
  type(3, "CMD OFF");

  // The run hands pending window events over between steps; the click is
  // one of them. A run that never sees it would loop forever, so the guard
  // ends the loop through the model and the test fails instead of hanging.
  bool clicked = false;
  ui.onProcessEvents = [&] {
    QApplication::processEvents();
    if (ui.eventPasses > 500) PressExitLoop(w.Grid());
  };
  QTimer::singleShot(0, exitLoop, [&] {
    clicked = true;
    QTest::mouseClick(exitLoop, Qt::LeftButton);
  });
  QTest::mouseClick(run, Qt::LeftButton);

  EXPECT_TRUE(clicked);
  EXPECT_LT(ui.eventPasses, 500) << "Exit Loop did not reach the running script";
  ASSERT_FALSE(board.sent.empty());
  EXPECT_EQ(board.sent.back(), "CMD OFF") << "the rows after the loop run once it is left";
  EXPECT_TRUE(run->isEnabled());
}

}  // namespace
}  // namespace evm::gui
