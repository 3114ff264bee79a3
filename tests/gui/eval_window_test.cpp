// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QAbstractButton>

#include "common/atomic_file.h"
#include "gui/main_window_fixture.h"

namespace evm::gui {
namespace {

TEST(EvalWindow, ControlsReachTheBoardAndCloseWritesTheSettings) {
  test_support::MainWindowFixture o;
  QWidget* eval = o.Open("cmdDac_Adc", "frmEvalControl");
  const auto button = [&](const char* name) { return o.Child<QAbstractButton>(eval, name); };
  const auto box = [&](const char* name) { return o.Child<QLineEdit>(eval, name); };
  const auto click = [&](const char* name) { button(name)->click(); };
  // The option of the reference shown is marked; opening applies none.
  EXPECT_EQ(box("Text5")->text(), "5");
  EXPECT_TRUE(button("Option1")->isChecked());
  EXPECT_EQ(o.c.evm.calBoard.RefMode, Reference::None);

  click("Option12");  // CNV2+ GND
  click("Check1");    // the current loop
  EXPECT_FALSE(button("Option10")->isEnabled());
  click("Option1");
  click("cmdRead_I_Loop");
  EXPECT_NEAR(box("txt_I_Loop")->text().toDouble(), 12.5, 0.2);
  click("Check1");
  EXPECT_TRUE(button("Option10")->isEnabled());

  click("Option11");  // CNV2+ from DAC D
  click("Option15");  // CNV2- ground
  click("chkDAC_AutoCal");
  box("Text9")->setText("1.7V");
  click("Command9");
  click("Command6");
  EXPECT_NEAR(box("Text11")->text().toDouble(), 1.7, 0.001);

  click("Command3");
  EXPECT_EQ(button("Command3")->text().remove(QChar('&')), "Press to turn Vdut Off");
  EXPECT_TRUE(o.c.sim->Supply().on);
  EXPECT_TRUE(o.c.ui.messages.empty());
  click("Option2");
  eval->close();
  QApplication::processEvents();
  EXPECT_EQ(*ReadWholeFile(o.c.evm.StateFile("ControlEVM_Settings.csv")), "3\r\n2\r\n");
}

}  // namespace
}  // namespace evm::gui
