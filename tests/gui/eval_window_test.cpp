#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "common/atomic_file.h"
#include "gui/shell/form_main.h"
#include "support/sim_fixture.h"

namespace evm::gui {
namespace {

struct EvalOpen {
  test::SimContext c;
  formMain_QMA740 w{c.evm};
  QWidget* eval = nullptr;
  EvalOpen() {
    EXPECT_TRUE(w.Load());
    auto* action = w.findChild<QAction*>("cmdDac_Adc");
    EXPECT_TRUE(action->isEnabled());
    action->trigger();
    eval = w.findChild<QWidget*>("frmEvalControl");
  }
  template <typename T>
  T* Get(const char* name) {
    auto* child = eval->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  std::vector<std::string> SentSince(size_t from) {
    std::vector<std::string> out;
    const auto& reports = c.sim->Interface()->Reports();
    for (size_t i = from; i < reports.size(); ++i) {
      out.push_back(HexText(reports[i][0]) + " " + HexText(reports[i][1]) + " " +
                    HexText(reports[i][2]));
    }
    return out;
  }
};

TEST(EvalWindow, LoopCheckBoxConnectsAndDisconnectsInOrder) {
  EvalOpen o;
  ASSERT_NE(o.eval, nullptr);
  o.Get<QRadioButton>("Option12")->click();  // CNV2+ GND
  size_t from = o.c.sim->Interface()->Reports().size();
  o.Get<QCheckBox>("Check1")->click();
  EXPECT_EQ(o.SentSince(from), (std::vector<std::string>{"4 5 0", "4 5 40", "4 9 0"}));
  EXPECT_FALSE(o.Get<QRadioButton>("Option10")->isEnabled());
  EXPECT_TRUE(o.Get<QPushButton>("cmdRead_I_Loop")->isEnabled());
  o.Get<QRadioButton>("Option1")->click();
  o.Get<QPushButton>("cmdRead_I_Loop")->click();
  EXPECT_NEAR(o.Get<QLineEdit>("txt_I_Loop")->text().toDouble(), 12.5, 0.2);

  from = o.c.sim->Interface()->Reports().size();
  o.Get<QCheckBox>("Check1")->click();
  EXPECT_EQ(o.SentSince(from), (std::vector<std::string>{"4 5 40", "4 9 1", "4 5 C0"}));
  EXPECT_TRUE(o.Get<QRadioButton>("Option10")->isEnabled());
  EXPECT_FALSE(o.Get<QLabel>("lbl_I_Loop")->isEnabled());
}

TEST(EvalWindow, DacRoutedToAConverterReadsBackWithAutoCalibration) {
  EvalOpen o;
  ASSERT_NE(o.eval, nullptr);
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

TEST(EvalWindow, SupplyButtonTogglesAndCloseWritesTheSettings) {
  EvalOpen o;
  ASSERT_NE(o.eval, nullptr);
  auto* supply = o.Get<QPushButton>("Command3");
  EXPECT_EQ(supply->text().remove(QChar('&')), "Press to turn Vdut On");
  supply->click();
  EXPECT_EQ(supply->text().remove(QChar('&')), "Press to turn Vdut Off");
  supply->click();
  EXPECT_EQ(supply->text().remove(QChar('&')), "Press to turn Vdut On");
  EXPECT_FALSE(o.c.sim->Supply().on);
  o.Get<QRadioButton>("Option2")->click();
  o.eval->close();
  QApplication::processEvents();
  EXPECT_EQ(*ReadWholeFile(o.c.evm.StateFile("ControlEVM_Settings.csv")), "3\r\n2\r\n");
}

}  // namespace
}  // namespace evm::gui
