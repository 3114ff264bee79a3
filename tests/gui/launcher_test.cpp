// The launcher as the program opens it with --launcher: each button brings up
// the window it names, and the script window runs on the simulated EVM.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "gui/script/frm_script.h"
#include "gui/script/frm_usb_template.h"
#include "gui/script/open_launcher.h"
#include "gui/shell/form_main.h"
#include "script/evm_script_board.h"
#include "support/sim_fixture.h"

namespace evm::gui {
namespace {

struct Launched {
  test::SimContext c;
  formMain_QMA740 w{c.evm};
  EvmScriptBoard board{c.evm};
  frmUSB_Template* launcher = nullptr;
  Launched() {
    EXPECT_TRUE(w.Load());
    w.show();
    launcher = OpenLauncher(w, board, c.ui, c.evm.locale);
  }
  QWidget* Press(const char* button, const char* window) {
    auto* b = launcher->findChild<QPushButton*>(button);
    EXPECT_NE(b, nullptr) << button;
    if (!b) return nullptr;
    EXPECT_TRUE(b->isEnabled()) << button;
    QTest::mouseClick(b, Qt::LeftButton);
    QApplication::processEvents();
    return w.findChild<QWidget*>(window);
  }
};

TEST(Launcher, EachButtonOpensItsWindow) {
  Launched l;
  ASSERT_NE(l.launcher, nullptr);
  EXPECT_TRUE(l.launcher->isVisible());
  const struct {
    const char* button;
    const char* caption;
    const char* window;
    const char* title;
  } cases[] = {
      {"Command1", "Set Address", "frmSetUSBAddress", "Set Address"},
      {"Command2", "Eval Control", "frmEvalControl", "Eval Control"},
      {"Command3", "DUT Writer", "frmUSB_DUT_Writer", "Debug USB Interface"},
      {"Command4", "Control and Measure Bits", "frmC_M_Bits", "Control and Measure Bits"},
      {"Command7", "Script", "frmScript", "Script"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.button);
    EXPECT_EQ(l.launcher->findChild<QPushButton*>(k.button)->text().remove(QChar('&')), k.caption);
    QWidget* window = l.Press(k.button, k.window);
    ASSERT_NE(window, nullptr) << k.window;
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), k.title);
  }
}

TEST(Launcher, ScriptButtonKeepsOneWindowThatRunsOnTheBoard) {
  Launched l;
  QWidget* first = l.Press("Command7", "frmScript");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(l.Press("Command7", "frmScript"), first);
  EXPECT_EQ(l.w.findChildren<frmScript*>().size(), 1);

  auto* grid = first->findChild<QTableWidget*>("MSFlexGrid1");
  auto* entry = first->findChild<QLineEdit*>("Text1");
  ASSERT_NE(grid, nullptr);
  ASSERT_NE(entry, nullptr);
  const auto type = [&](int row, int col, const QString& text) {
    emit grid->cellClicked(row - 1, col - 1);
    entry->clear();
    QTest::keyClicks(entry, text);
    QTest::mouseClick(first->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  };
  type(1, 2, "CMD MUX 5");
  type(2, 2, "write_dac_b 2.5");
  type(3, 2, "read_cnv1");
  type(3, 3, "2.49");
  type(3, 4, "2.51");
  QTest::mouseClick(first->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  ASSERT_NE(grid->item(2, 5), nullptr);
  EXPECT_EQ(grid->item(2, 5)->text(), "PASS") << grid->item(2, 4)->text().toStdString();
}

}  // namespace
}  // namespace evm::gui
