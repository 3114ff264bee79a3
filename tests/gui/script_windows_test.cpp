// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <nlohmann/json.hpp>

#include "gui/main_window_fixture.h"
#include "gui/script/frm_script.h"
#include "gui/script/frm_usb_template.h"
#include "gui/script/open_launcher.h"
#include "script/evm_script_board.h"
#include "script/fake_script_board.h"
#include "script/record_command.h"
#include "script/script_interpreter.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace evm::gui {
namespace {

struct ScriptWindow {
  FakeClock clock;
  test::FakeScriptBoard board{clock};
  test::RecordingUi ui;
  // On the heap: a window closed with WA_DeleteOnClose deletes itself.
  QPointer<frmScript> window = new frmScript(board, ui, NumberLocale::Point());
  frmScript& w = *window;
  ~ScriptWindow() { delete window; }

  QTableWidget* Grid() { return w.findChild<QTableWidget*>("MSFlexGrid1"); }
  QLineEdit* Entry() { return w.findChild<QLineEdit*>("Text1"); }
  QPushButton* Button(const char* name) { return w.findChild<QPushButton*>(name); }
  void Type(int row, int col, const QString& text) {
    emit Grid()->cellClicked(row - 1, col - 1);
    Entry()->clear();
    QTest::keyClicks(Entry(), text);
    QTest::mouseClick(Button("Command1"), Qt::LeftButton);
  }
  QString Cell(int row, int col) {
    auto* item = Grid()->item(row - 1, col - 1);
    return item ? item->text() : QString();
  }
};

TEST(ScriptWindow, TypedStepsRunAndShowTheirVerdicts) {
  ScriptWindow s;
  s.Type(1, 2, "I2C CH2 S 91 ACKS R ACKM R ACKM P");
  s.Type(2, 2, "result");
  s.Type(2, 3, "10");
  s.Type(2, 4, "20");
  s.board.data[0] = 0x15;
  QTest::mouseClick(s.Button("Command2"), Qt::LeftButton);
  EXPECT_EQ(s.board.sent.size(), 1u);
  EXPECT_EQ(s.Cell(2, 5), "15");
  EXPECT_EQ(s.Cell(2, 6), "PASS");
  EXPECT_TRUE(s.Button("Command2")->isEnabled()) << "buttons come back";
  auto* verdicts = s.w.findChild<QLabel*>("lblVerdicts");
  ASSERT_NE(verdicts, nullptr);
  EXPECT_EQ(verdicts->text(), "PASS: 1 passed, 0 failed") << "the count evmctl prints";
  // Two checks of the same byte, one out of its limits.
  s.Type(3, 2, "result");
  s.Type(3, 3, "30");
  s.Type(3, 4, "40");
  QTest::mouseClick(s.Button("Command2"), Qt::LeftButton);
  EXPECT_EQ(verdicts->text(), "FAIL: 1 passed, 1 failed");

  emit s.Grid()->cellClicked(0, 1);
  EXPECT_EQ(s.Entry()->text(), "I2C CH2 S 91 ACKS R ACKM R ACKM P");
  EXPECT_EQ(s.Grid()->item(0, 1)->background().color(), QColor(0xC0, 0xFF, 0xFF));
  EXPECT_EQ(s.Grid()->item(1, 1)->background().style(), Qt::NoBrush);
}

// The keyboard alone edits a script: arrows choose the cell, Tab leaves the
// grid, and after any button the entry box is ready for typing.
TEST(ScriptWindow, ArrowsChooseTheCellTabLeavesTheGridAndTheEntryBoxKeepsTheFocus) {
  ScriptWindow s;
  s.w.show();
  s.w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&s.w));
  s.Grid()->setFocus();
  s.Grid()->setCurrentCell(0, 0);
  QTest::keyClick(s.Grid(), Qt::Key_Right);  // the step column
  QTest::keyClick(s.Grid(), Qt::Key_Down);
  EXPECT_EQ(s.w.Grid().Row_, 2);
  EXPECT_EQ(s.w.Grid().Col, 2);
  QTest::keyClick(s.Grid(), Qt::Key_Tab);
  EXPECT_NE(QApplication::focusWidget(), s.Grid());
  s.Entry()->setFocus();
  QTest::keyClicks(s.Entry(), "CMD ON");
  QTest::keyClick(s.Entry(), Qt::Key_Return);
  EXPECT_EQ(s.w.Grid().Cell(2, 2), "CMD ON");

  s.Button("Command2")->click();  // row 1 holds no step
  ASSERT_EQ(s.ui.messages.size(), 1u);
  EXPECT_EQ(s.ui.messages[0].text, kNoStepToRunMessage);

  s.Type(1, 2, "CMD OFF");
  for (const char* name : {"Command1", "Command5", "Command7", "Command2"}) {
    QPushButton* button = s.Button(name);
    emit s.Grid()->cellClicked(0, 1);
    button->setFocus();
    ASSERT_TRUE(button->hasFocus());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(s.Entry()->hasFocus()) << name;
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
  auto* bar = s.Grid()->verticalScrollBar();
  bar->setValue(30);
  EXPECT_EQ(g.TopRow, 31);
  emit s.Grid()->cellClicked(39, 1);
  EXPECT_EQ(bar->value(), 30) << "a click leaves the view where the user put it";
  EXPECT_EQ(s.Entry()->text(), "CMD CTRL 40");
  bar->setValue(0);
  QTest::mouseClick(s.Button("Command1"), Qt::LeftButton);
  EXPECT_LE(s.Grid()->rowAt(0), 39);
  EXPECT_GE(s.Grid()->rowAt(s.Grid()->viewport()->height() - 1), 40)
      << "the edited row 40 and the next are in view";
}

TEST(ScriptWindow, ExitLoopClickedDuringARunEndsTheGotoLoop) {
  ScriptWindow s;
  s.w.show();
  s.Type(1, 2, "CMD ON");
  s.Type(2, 2, "goto 1");
  s.Type(3, 2, "CMD OFF");
  // The run hands pending window events over between steps; the click is
  // one of them. A run that never sees it would loop forever, so the guard
  // ends the loop through the model and the test fails instead of hanging.
  bool clicked = false;
  s.ui.onProcessEvents = [&] {
    QApplication::processEvents();
    if (s.ui.eventPasses > 500) PressExitLoop(s.w.Grid());
  };
  QPushButton* exitLoop = s.Button("Command9");
  QTimer::singleShot(0, exitLoop, [&] {
    clicked = true;
    QTest::mouseClick(exitLoop, Qt::LeftButton);
  });
  QTest::mouseClick(s.Button("Command2"), Qt::LeftButton);
  EXPECT_TRUE(clicked);
  EXPECT_LT(s.ui.eventPasses, 500) << "Exit Loop did not reach the running script";
  ASSERT_FALSE(s.board.sent.empty());
  EXPECT_EQ(s.board.sent.back(), "CMD OFF") << "the rows after the loop run once it is left";
}

TEST(ScriptWindow, ClosingDuringARunEndsItAtOnceAndTheWindowGoesOnlyAfterTheRun) {
  ScriptWindow s;
  s.w.setAttribute(Qt::WA_DeleteOnClose);
  s.w.show();
  s.Type(1, 2, "CMD ON");
  s.Type(2, 2, "pause 1000");
  s.Type(3, 2, "goto 1");
  bool closeAccepted = true;
  bool hidden = false;
  s.ui.onProcessEvents = [&] {
    if (s.ui.eventPasses == 3) {
      closeAccepted = s.window->close();
      hidden = !s.window->isVisible();
    }
  };
  QTest::mouseClick(s.Button("Command2"), Qt::LeftButton);

  EXPECT_FALSE(closeAccepted) << "the running script still needs its window";
  EXPECT_TRUE(hidden) << "the window disappears at once";
  EXPECT_LT(s.clock.ElapsedMs(), 1000) << "the pause in progress ends with the window";
  EXPECT_EQ(s.board.sent, std::vector<std::string>{"CMD ON"});
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(s.window.isNull()) << "the window closes once the run has returned";
}

// The launcher as the program opens it with --launcher.
struct Launched : test_support::MainWindowFixture {
  EvmScriptBoard board{c.evm};
  frmUSB_Template* launcher = OpenLauncher(w, board, c.ui, c.evm.locale());
  QWidget* Press(const char* button, const char* window) {
    QTest::mouseClick(Child<QPushButton>(launcher, button), Qt::LeftButton);
    QApplication::processEvents();
    return w.findChild<QWidget*>(window);
  }
};

// The script window's own tests run it on a fake board; the launcher's runs
// on the simulated EVM.
// Save Record writes the record of the window's last run: JSON, or JUnit
// XML for a name ending in .xml; before any run there is nothing to save.
TEST(ScriptWindow, SaveRecordWritesTheLastRunAsJsonOrJUnit) {
  ScriptWindow s;
  s.w.UseClock(s.clock);
  test::TempDir dir;
  QTest::mouseClick(s.Button("cmdSaveRecord"), Qt::LeftButton);
  ASSERT_EQ(s.ui.messages.size(), 1u);
  EXPECT_EQ(s.ui.messages[0].text, kNoRunToRecordMessage);
  EXPECT_TRUE(s.ui.fileDialogs.empty());

  s.Type(1, 2, "I2C CH2 S 91 ACKS R ACKM R ACKM P");
  s.Type(2, 2, "result");
  s.Type(2, 3, "10");
  s.Type(2, 4, "14");
  s.Type(3, 2, "pause 1.5");
  s.board.data[0] = 0x15;
  QTest::mouseClick(s.Button("Command2"), Qt::LeftButton);
  const std::string json = (dir.path() / "run.json").string();
  const std::string xml = (dir.path() / "run.XML").string();
  s.ui.saveFileAnswers = {json, xml};
  QTest::mouseClick(s.Button("cmdSaveRecord"), Qt::LeftButton);
  QTest::mouseClick(s.Button("cmdSaveRecord"), Qt::LeftButton);
  std::ifstream in(json);
  const auto record = nlohmann::json::parse(in, nullptr, false);
  ASSERT_FALSE(record.is_discarded());
  EXPECT_EQ(record["outcome"], "FAIL");
  EXPECT_EQ(record["steps"][1]["value"], 0x15);
  EXPECT_NEAR(record["steps"][2]["duration_s"].get<double>(), 1.5, 0.01);
  std::ifstream junit(xml);
  const std::string text((std::istreambuf_iterator<char>(junit)), {});
  EXPECT_NE(text.find("<failure type=\"FAIL\" message=\"21 is outside 16 to 20\"/>"),
            std::string::npos)
      << text;
}

TEST(Launcher, EachButtonOpensItsOneWindowAndButtonsWithoutOneAreDisabled) {
  Launched l;
  ASSERT_TRUE(l.launcher && l.launcher->isVisible());
  for (const auto& [button, name] : {std::pair{"Command1", "frmSetUSBAddress"},
                                     {"Command2", "frmEvalControl"},
                                     {"Command3", "frmUSB_DUT_Writer"},
                                     {"Command4", "frmC_M_Bits"},
                                     {"Command7", "frmScript"}}) {
    QWidget* window = l.Press(button, name);
    EXPECT_TRUE(window && window->isVisible()) << name;
  }
  QWidget* script = l.w.findChild<QWidget*>("frmScript");
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(l.Press("Command7", "frmScript"), script);
  EXPECT_EQ(l.w.findChildren<frmScript*>().size(), 1);
  auto* grid = script->findChild<QTableWidget*>("MSFlexGrid1");
  auto* entry = script->findChild<QLineEdit*>("Text1");
  ASSERT_TRUE(grid && entry);
  emit grid->cellClicked(0, 1);
  entry->setText("write_dac_b 2.5");
  emit entry->textEdited("write_dac_b 2.5");
  QTest::mouseClick(script->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  QTest::mouseClick(script->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  EXPECT_NE(l.c.sim->TestBoard().dacCode[1], 0) << "the step reached the interface board";

  // A title bar shows the whole caption: its bold text and the bar's icon
  // and buttons, at least 24 pixels each.
  QFont bold = l.launcher->font();
  bold.setBold(true);
  EXPECT_GE(l.launcher->minimumWidth(),
            QFontMetrics(bold).horizontalAdvance(l.launcher->windowTitle()) + 4 * 24);

  frmUSB_Template::Openers openers;
  openers.script = [] {};
  frmUSB_Template alone(openers);
  EXPECT_FALSE(alone.findChild<QPushButton*>("Command1")->isEnabled());
  EXPECT_TRUE(alone.findChild<QPushButton*>("Command7")->isEnabled());
}

}  // namespace
}  // namespace evm::gui
