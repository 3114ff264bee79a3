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
  const std::pair<const char*, const char*> cases[] = {{"Command1", "frmSetUSBAddress"},
                                                       {"Command2", "frmEvalControl"},
                                                       {"Command3", "frmUSB_DUT_Writer"},
                                                       {"Command4", "frmC_M_Bits"},
                                                       {"Command7", "frmScript"}};
  for (const auto& [button, name] : cases) {
    QWidget* window = l.Press(button, name);
    ASSERT_NE(window, nullptr) << name;
    EXPECT_TRUE(window->isVisible()) << name;
  }

  // A launcher without a window for a button leaves that button disabled.
  bool opened = false;
  frmUSB_Template::Openers openers;
  openers.script = [&] { opened = true; };
  frmUSB_Template alone(openers);
  EXPECT_FALSE(alone.findChild<QPushButton*>("Command1")->isEnabled());
  QTest::mouseClick(alone.findChild<QPushButton*>("Command7"), Qt::LeftButton);
  EXPECT_TRUE(opened);
}

TEST(Launcher, ScriptButtonKeepsOneWindowThatRunsOnTheBoard) {
  Launched l;
  QWidget* first = l.Press("Command7", "frmScript");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(l.Press("Command7", "frmScript"), first);
  EXPECT_EQ(l.w.findChildren<frmScript*>().size(), 1);

  auto* grid = first->findChild<QTableWidget*>("MSFlexGrid1");
  auto* entry = first->findChild<QLineEdit*>("Text1");
  ASSERT_TRUE(grid && entry);
  for (const auto& [row, col, text] : {std::tuple{0, 1, "CMD MUX 5"},
                                       {1, 1, "write_dac_b 2.5"},
                                       {2, 1, "read_cnv1"},
                                       {2, 2, "2.49"},
                                       {2, 3, "2.51"}}) {
    emit grid->cellClicked(row, col);
    entry->setText(text);
    emit entry->textEdited(text);
    QTest::mouseClick(first->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  }
  QTest::mouseClick(first->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  ASSERT_NE(grid->item(2, 5), nullptr);
  EXPECT_EQ(grid->item(2, 5)->text(), "PASS") << grid->item(2, 4)->text().toStdString();
}

}  // namespace
}  // namespace evm::gui
