#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include "gui/script/frm_script.h"
#include "gui/script/frm_usb_template.h"
#include "script/fake_script_board.h"
#include "support/recording_ui.h"

namespace evm::gui {
namespace {

struct ScriptWindow {
  FakeClock clock;
  test::FakeScriptBoard board{clock};
  test::RecordingUi ui;
  frmScript w{board, ui, NumberLocale::Point()};

  void Type(int row, int col, const QString& text) {
    auto* grid = w.findChild<QTableWidget*>("MSFlexGrid1");
    emit grid->cellClicked(row - 1, col - 1);
    auto* entry = w.findChild<QLineEdit*>("Text1");
    entry->clear();
    QTest::keyClicks(entry, text);
    QTest::mouseClick(w.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  }
  QString Cell(int row, int col) {
    auto* item = w.findChild<QTableWidget*>("MSFlexGrid1")->item(row - 1, col - 1);
    return item ? item->text() : QString();
  }
};

TEST(ScriptWindow, TypedStepsRunAndShowTheirVerdicts) {
  ScriptWindow s;
  EXPECT_EQ(s.w.windowTitle(), "Script");
  auto* grid = s.w.findChild<QTableWidget*>("MSFlexGrid1");
  ASSERT_EQ(grid->rowCount(), 20);
  EXPECT_EQ(grid->verticalHeaderItem(0)->text(), " 1");
  s.Type(1, 2, "I2C CH2 S 91 ACKS R ACKM R ACKM P");
  s.Type(2, 2, "result");
  s.Type(2, 3, "10");
  s.Type(2, 4, "20");
  s.board.data[0] = 0x15;
  QTest::mouseClick(s.w.findChild<QPushButton*>("Command2"), Qt::LeftButton);
  EXPECT_EQ(s.board.sent.size(), 1u);
  EXPECT_EQ(s.Cell(2, 5), "15");
  EXPECT_EQ(s.Cell(2, 6), "PASS");
  EXPECT_TRUE(s.w.findChild<QPushButton*>("Command2")->isEnabled()) << "buttons come back";
}

TEST(ScriptWindow, CellClickHighlightsInLightCyanAndFillsTheEntryBox) {
  ScriptWindow s;
  s.Type(3, 2, "CMD ON");
  auto* grid = s.w.findChild<QTableWidget*>("MSFlexGrid1");
  emit grid->cellClicked(2, 1);
  EXPECT_EQ(s.w.findChild<QLineEdit*>("Text1")->text(), "CMD ON");
  EXPECT_EQ(grid->item(2, 1)->background().color(), QColor(0xC0, 0xFF, 0xFF));
  EXPECT_EQ(grid->item(3, 1)->background().style(), Qt::NoBrush);
}

TEST(ScriptWindow, EntryBoxTakesTheFocusWheneverACellIsSelected) {
  ScriptWindow s;
  s.w.show();
  s.w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&s.w));
  auto* entry = s.w.findChild<QLineEdit*>("Text1");
  s.Type(1, 2, "CMD ON");
  s.Type(2, 2, "CMD OFF");
  const char* buttons[] = {"Command1", "Command5", "Command7", "Command2"};
  for (const char* name : buttons) {
    auto* button = s.w.findChild<QPushButton*>(name);
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    emit s.w.findChild<QTableWidget*>("MSFlexGrid1")->cellClicked(0, 1);
    button->setFocus();
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(entry->hasFocus()) << name << " ends with the entry box ready for typing";
  }
}

TEST(ScriptWindow, ScrollingByHandMovesTheTopRowAndEnterKeepsTheEditedRowInView) {
  ScriptWindow s;
  s.w.show();
  ScriptGrid& g = s.w.Grid();
  while (g.Rows() < 62) g.AppendRow();
  for (int r = 1; r <= 60; ++r) g.Cell(r, 2) = "CMD CTRL " + std::to_string(r);
  g.ScriptLastRow = 60;
  s.w.Render();
  QApplication::processEvents();  // the table sizes its scroll bar later
  auto* grid = s.w.findChild<QTableWidget*>("MSFlexGrid1");
  auto* bar = grid->verticalScrollBar();
  bar->setValue(30);
  EXPECT_EQ(g.TopRow, 31);
  emit grid->cellClicked(39, 1);
  EXPECT_EQ(bar->value(), 30) << "a click leaves the view where the user put it";
  EXPECT_EQ(s.w.findChild<QLineEdit*>("Text1")->text(), "CMD CTRL 40");
  bar->setValue(0);
  QTest::mouseClick(s.w.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  const int top = grid->rowAt(0);
  const int bottom = grid->rowAt(grid->viewport()->height() - 1);
  EXPECT_LE(top, 39);
  EXPECT_GE(bottom, 40) << "the edited row 40 and the next are in view";
}

TEST(ScriptWindow, ClosingDuringARunEndsTheLoopAndTheWindowGoesOnlyAfterTheRun) {
  FakeClock clock;
  test::FakeScriptBoard board{clock};
  test::RecordingUi ui;
  QPointer<frmScript> w = new frmScript(board, ui, NumberLocale::Point());
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->show();
  auto type = [&](int row, const QString& text) {
    emit w->findChild<QTableWidget*>("MSFlexGrid1")->cellClicked(row - 1, 1);
    w->findChild<QLineEdit*>("Text1")->setText(text);
    emit w->findChild<QLineEdit*>("Text1")->textEdited(text);
    QTest::mouseClick(w->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  };
  type(1, "CMD ON");
  type(2, "goto 1");

  bool closeAccepted = true;
  bool hidden = false;
  ui.onProcessEvents = [&] {
    if (ui.eventPasses == 1) {
      closeAccepted = w->close();
      hidden = !w->isVisible();
    }
    // Without a way out the loop would run forever.
    if (ui.eventPasses == 4)
      QTest::mouseClick(w->findChild<QPushButton*>("Command9"), Qt::LeftButton);
  };
  QTest::mouseClick(w->findChild<QPushButton*>("Command2"), Qt::LeftButton);

  EXPECT_FALSE(closeAccepted) << "the running script still needs its window";
  EXPECT_TRUE(hidden) << "the window disappears at once";
  EXPECT_EQ(ui.eventPasses, 2) << "the goto after the close is not followed";
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(w.isNull()) << "the window closes once the run has returned";
}

TEST(Launcher, ButtonsWithoutAWindowAreDisabledAndScriptOpens) {
  bool opened = false;
  frmUSB_Template::Openers openers;
  openers.script = [&] { opened = true; };
  frmUSB_Template launcher(openers);
  EXPECT_EQ(launcher.windowTitle(), "USB DUT Write Software Template");
  EXPECT_FALSE(launcher.findChild<QPushButton*>("Command1")->isEnabled());
  auto* script = launcher.findChild<QPushButton*>("Command7");
  EXPECT_EQ(script->text().remove(QChar('&')), "Script");
  QTest::mouseClick(script, Qt::LeftButton);
  EXPECT_TRUE(opened);
}

}  // namespace
}  // namespace evm::gui
