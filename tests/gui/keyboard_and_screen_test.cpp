// The windows at the bench: keyboard only, a small screen, the status line.
#include <QAction>
#include <QLabel>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>

#include "gui/shell/frm_set_usb_address.h"
#include "main_window_fixture.h"

namespace evm::gui {
namespace {

using test_support::MainWindowFixture;

struct Keyboard : MainWindowFixture {
  Keyboard() {
    w.activateWindow();
    QApplication::setActiveWindow(&w);
  }
  // The widget that has the focus after `key` was pressed in `from`.
  static QWidget* FocusAfter(QWidget* from, Qt::Key key) {
    from->setFocus();
    QTest::keyClick(from, key);
    return QApplication::focusWidget();
  }
};

TEST(Keyboard, TabLeavesTheRegisterGridAndSpaceTogglesTheFocusedBitBoxes) {
  Keyboard k;
  k.w.SSTab1->setCurrentIndex(4);
  EXPECT_NE(Keyboard::FocusAfter(k.Grid(), Qt::Key_Tab), k.Grid());
  auto* bit15 = k.Find<QLineEdit>("txtBit_15");
  Keyboard::FocusAfter(bit15, Qt::Key_Space);
  EXPECT_EQ(bit15->text(), "1");
  // The tool windows' boxes toggle on their own.
  QWidget* bits = k.Open("mnuC_Bits", "frmC_M_Bits");
  auto* control = Keyboard::Child<QLineEdit>(bits, "Text1_2");
  QTest::keyClick(control, Qt::Key_Space);
  EXPECT_EQ(control->text(), " 1");
}

TEST(Keyboard, ReturnPressesTheButtonOfABoxAndTheFocusedButton) {
  Keyboard k;
  k.w.SSTab1->setCurrentIndex(2);
  auto* rshunt = k.Find<QLineEdit>("txtRshunt");
  rshunt->setFocus();
  rshunt->selectAll();
  QTest::keyClicks(rshunt, "0.02");
  QTest::keyClick(rshunt, Qt::Key_Return);
  EXPECT_EQ(k.c.evm.calibration.txtMaxPosCur, "16.") << "Enter Shunt Resistance ran";

  // A focused button: Read All Reg after a write behind its back.
  k.c.sim->RegLink()->Device().SetRegisterForTest(5, 0x1234);
  QPushButton* read = k.Button("Command8", "tabCalibrate");
  QTest::keyClick(read, Qt::Key_Return);
  EXPECT_EQ(k.c.evm.registers.RegValue[5], 0x1234);

  QWidget* eval = k.Open("cmdDac_Adc", "frmEvalControl");
  auto* dacb = eval->findChild<QLineEdit*>("Text7");
  QTest::keyClicks(dacb, "1.5");
  QTest::keyClick(dacb, Qt::Key_Return);
  EXPECT_NE(k.c.sim->TestBoard().dacCode[1], 0) << "Write DACB ran";

  auto* address = qobject_cast<frmSetUSBAddress*>(k.Open("mnuSetAddress", "frmSetUSBAddress"));
  EXPECT_TRUE(address->findChild<QPushButton*>("Command3")->isDefault());
}

TEST(Keyboard, EscapeAndCtrlWCloseToolWindowsAndF5ReadsTheRegisters) {
  Keyboard k;
  for (const auto& [action, name, keys] : {std::tuple{"cmdDac_Adc", "frmEvalControl", "Esc"},
                                           {"mnuC_Bits", "frmC_M_Bits", "Ctrl+W"}}) {
    QWidget* window = k.Open(action, name);
    QApplication::setActiveWindow(window);
    QTest::keySequence(window, QKeySequence(keys));
    EXPECT_FALSE(window->isVisible()) << name;
  }
  QApplication::setActiveWindow(&k.w);
  k.c.sim->RegLink()->Device().SetRegisterForTest(5, 0x4321);
  QTest::keySequence(&k.w, QKeySequence("F5"));
  EXPECT_EQ(k.c.evm.registers.RegValue[5], 0x4321);
}

TEST(Screen, MainWindowFitsA1024x700ScreenAndEveryTabScrolls) {
  MainWindowFixture f;
  const QSize least = f.w.minimumSizeHint();
  EXPECT_LE(least.width(), 1024);
  EXPECT_LE(least.height(), 700);
  for (int i = 0; i < f.w.SSTab1->count(); ++i) {
    EXPECT_NE(qobject_cast<QScrollArea*>(f.w.SSTab1->widget(i)), nullptr) << i;
  }
}

TEST(StatusBar, SaysWhichBoardsAndWhatRuns) {
  MainWindowFixture f;
  auto* status = f.w.statusBar()->findChild<QLabel*>("lblStatus");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->text(), "Simulated EVM: register link 3A5F:5F00, interface board 3A5F:2F90");
  f.c.evm.shell.RunWithoutUsb = true;
  f.c.evm.measurement.ContinuousRead = true;
  f.c.evm.measurement.ContinuousPasses = 3;
  f.c.evm.measurement.LogActive = true;
  f.c.evm.measurement.logFileName = "bench.csv";
  f.w.RenderPanels();
  EXPECT_EQ(status->text(),
            "No USB (Run Without USB)   |   Continuous read: 3 passes   |   Logging to bench.csv");
}

}  // namespace
}  // namespace evm::gui
