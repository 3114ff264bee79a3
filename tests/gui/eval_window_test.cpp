#include <gtest/gtest.h>

#include <QCheckBox>
#include <QRadioButton>

#include "common/atomic_file.h"
#include "gui/main_window_fixture.h"

namespace evm::gui {
namespace {

struct EvalOpen : test_support::MainWindowFixture {
  QWidget* eval = Open("cmdDac_Adc", "frmEvalControl");
  template <typename T>
  T* Get(const char* name) {
    return Child<T>(eval, name);
  }
};

TEST(EvalWindow, LoopCheckBoxConnectsTheLoopForItsRead) {
  EvalOpen o;
  o.Get<QRadioButton>("Option12")->click();  // CNV2+ GND
  o.Get<QCheckBox>("Check1")->click();
  EXPECT_FALSE(o.Get<QRadioButton>("Option10")->isEnabled());
  o.Get<QRadioButton>("Option1")->click();
  o.Get<QPushButton>("cmdRead_I_Loop")->click();
  EXPECT_NEAR(o.Get<QLineEdit>("txt_I_Loop")->text().toDouble(), 12.5, 0.2);
  o.Get<QCheckBox>("Check1")->click();
  EXPECT_TRUE(o.Get<QRadioButton>("Option10")->isEnabled());
  EXPECT_FALSE(o.Get<QPushButton>("cmdRead_I_Loop")->isEnabled());
}

TEST(EvalWindow, DacRoutedToAConverterReadsBackWithAutoCalibration) {
  EvalOpen o;
  o.Get<QRadioButton>("Option1")->click();
  o.Get<QRadioButton>("Option11")->click();  // CNV2+ from DAC D
  o.Get<QRadioButton>("Option15")->click();  // CNV2- ground
  o.Get<QCheckBox>("chkDAC_AutoCal")->click();
  o.Get<QLineEdit>("Text9")->setText("1.7V");
  o.Get<QPushButton>("Command9")->click();
  o.Get<QPushButton>("Command6")->click();
  EXPECT_NEAR(o.Get<QLineEdit>("Text11")->text().toDouble(), 1.7, 0.001);
  EXPECT_TRUE(o.c.ui.messages.empty());
}

TEST(EvalWindow, SupplyButtonSwitchesAndCloseWritesTheSettings) {
  EvalOpen o;
  auto* supply = o.Get<QPushButton>("Command3");
  supply->click();
  EXPECT_EQ(supply->text(), "Press to turn Vdut Off");
  EXPECT_TRUE(o.c.sim->Supply().on);
  o.Get<QRadioButton>("Option2")->click();
  o.eval->close();
  QApplication::processEvents();
  EXPECT_EQ(*ReadWholeFile(o.c.evm.StateFile("ControlEVM_Settings.csv")), "3\r\n2\r\n");
}

}  // namespace
}  // namespace evm::gui
