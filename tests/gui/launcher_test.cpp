// SPDX-License-Identifier: GPL-3.0-or-later
// The launcher as the program opens it with --launcher: each button brings up
// the window it names, and the script window runs on the simulated EVM.
#include <QTest>

#include "gui/main_window_fixture.h"
#include "gui/script/frm_script.h"
#include "gui/script/frm_usb_template.h"
#include "gui/script/open_launcher.h"
#include "script/evm_script_board.h"

namespace evm::gui {
namespace {

struct Launched : test_support::MainWindowFixture {
  EvmScriptBoard board{c.evm};
  frmUSB_Template* launcher = OpenLauncher(w, board, c.ui, c.evm.locale);
  QWidget* Press(const char* button, const char* window) {
    QTest::mouseClick(Child<QPushButton>(launcher, button), Qt::LeftButton);
    QApplication::processEvents();
    return w.findChild<QWidget*>(window);
  }
};

TEST(Launcher, EachButtonOpensItsWindowAndButtonsWithoutOneAreDisabled) {
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

  frmUSB_Template::Openers openers;
  openers.script = [] {};
  frmUSB_Template alone(openers);
  EXPECT_FALSE(alone.findChild<QPushButton*>("Command1")->isEnabled());
  EXPECT_TRUE(alone.findChild<QPushButton*>("Command7")->isEnabled());
}

// The script window's own tests run it on a fake board; this one is the
// launcher's, on the simulated EVM.
TEST(Launcher, ScriptButtonKeepsOneWindowThatRunsOnTheBoard) {
  Launched l;
  QWidget* script = l.Press("Command7", "frmScript");
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
}

}  // namespace
}  // namespace evm::gui
