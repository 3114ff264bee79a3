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

TEST(Launcher, ScriptButtonKeepsOneWindowThatRunsOnTheBoard) {
  Launched l;
  QWidget* script = l.Press("Command7", "frmScript");
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(l.Press("Command7", "frmScript"), script);
  EXPECT_EQ(l.w.findChildren<frmScript*>().size(), 1);

  auto* grid = script->findChild<QTableWidget*>("MSFlexGrid1");
  auto* entry = script->findChild<QLineEdit*>("Text1");
  ASSERT_TRUE(grid && entry);
  for (const auto& [row, col, text] : {std::tuple{0, 1, "CMD MUX 5"},
                                       {1, 1, "write_dac_b 2.5"},
                                       {2, 1, "read_cnv1"},
                                       {2, 2, "2.49"},
                                       {2, 3, "2.51"}}) {
    emit grid->cellClicked(row, col);
    entry->setText(text);
    emit entry->textEdited(text);
    QTest::mouseClick(script->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  }
  QTest::mouseClick(script->findChild<QPushButton*>("Command2"), Qt::LeftButton);
  ASSERT_NE(grid->item(2, 5), nullptr);
  EXPECT_EQ(grid->item(2, 5)->text(), "PASS") << grid->item(2, 4)->text().toStdString();
}

}  // namespace
}  // namespace evm::gui
