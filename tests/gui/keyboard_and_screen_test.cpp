// The windows at the bench: keyboard only, a small screen, the status line.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "gui/script/frm_script.h"
#include "gui/shell/frm_set_usb_address.h"
#include "gui/shell/frm_usb_com_prob.h"
#include "gui/shell/qt_user_interface.h"
#include "main_window_fixture.h"
#include "script/fake_script_board.h"
#include "script/script_interpreter.h"
#include "support/recording_ui.h"

namespace evm::gui {
namespace {

using test_support::MainWindowFixture;

struct Keyboard : MainWindowFixture {
  Keyboard() {
    w.activateWindow();
    QApplication::setActiveWindow(&w);
  }
  QWidget* Open(const char* action, const char* name) {
    Find<QAction>(action)->trigger();
    return Find<QWidget>(name);
  }
  // The widget that has the focus after `key` was pressed in `from`.
  static QWidget* FocusAfter(QWidget* from, Qt::Key key) {
    from->setFocus();
    QTest::keyClick(from, key);
    return QApplication::focusWidget();
  }
};

TEST(Keyboard, TabLeavesBothGridsAndArrowsChooseTheScriptCell) {
  Keyboard k;
  k.w.SSTab1->setCurrentIndex(4);
  QTableWidget* registers = k.Grid();
  EXPECT_NE(Keyboard::FocusAfter(registers, Qt::Key_Tab), registers);

  FakeClock clock;
  test::FakeScriptBoard board{clock};
  test::RecordingUi ui;
  frmScript script{board, ui, NumberLocale::Point()};
  script.show();
  QApplication::setActiveWindow(&script);
  auto* grid = script.findChild<QTableWidget*>("MSFlexGrid1");
  grid->setFocus();
  grid->setCurrentCell(0, 0);
  QTest::keyClick(grid, Qt::Key_Right);  // the step column
  QTest::keyClick(grid, Qt::Key_Down);
  EXPECT_EQ(script.Grid().Row_, 2);
  EXPECT_EQ(script.Grid().Col, 2);
  EXPECT_NE(Keyboard::FocusAfter(grid, Qt::Key_Tab), grid);
  auto* entry = script.findChild<QLineEdit*>("Text1");
  entry->setFocus();
  QTest::keyClicks(entry, "CMD ON");
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_EQ(script.Grid().Cell(2, 2), "CMD ON");

  // Run Script without a step in row 1 says so.
  script.findChild<QPushButton*>("Command2")->click();
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, kNoStepToRunMessage);
}

TEST(Keyboard, SpaceTogglesFocusedBitAndControlBoxes) {
  Keyboard k;
  auto* bit15 = k.Find<QLineEdit>("txtBit_15");
  bit15->setFocus();
  QTest::keyClick(bit15, Qt::Key_Space);
  EXPECT_EQ(bit15->text(), "1");

  QWidget* bits = k.Open("mnuC_Bits", "frmC_M_Bits");
  auto* control = bits->findChild<QLineEdit*>("Text1_2");
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
  EXPECT_EQ(Keyboard::FocusAfter(rshunt, Qt::Key_Tab)->objectName(), "cmdEnterShuntR");

  // Return on a focused button: Read All Reg after a write behind its back.
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

// The letter of a button's Alt mnemonic; a null character for none.
QChar Mnemonic(const QPushButton* button) {
  const QString text = button->text();
  const qsizetype at = text.indexOf('&');
  return at >= 0 && at + 1 < text.size() ? text[at + 1].toUpper() : QChar();
}

TEST(Keyboard, EveryButtonHasItsOwnAltLetterAndKeepsItsCaption) {
  Keyboard k;
  QWidget* eval = k.Open("cmdDac_Adc", "frmEvalControl");
  // Buttons seen together: one tab page of the main window, or a window.
  std::vector<QWidget*> scopes{eval, k.Open("cmdDUT_Writer", "frmUSB_DUT_Writer")};
  for (int i = 0; i < k.w.SSTab1->count(); ++i) scopes.push_back(k.w.SSTab1->widget(i));
  for (QWidget* scope : scopes) {
    QString letters = scope->isWindow() ? "" : "EUH";  // the menus'
    for (QPushButton* button : scope->findChildren<QPushButton*>()) {
      const QChar letter = Mnemonic(button);
      EXPECT_FALSE(letter.isNull()) << button->text().toStdString();
      EXPECT_FALSE(letters.contains(letter)) << button->text().toStdString();
      letters += letter;
    }
  }
  auto* supply = eval->findChild<QPushButton*>("Command3");
  QApplication::setActiveWindow(eval);
  QTest::keySequence(eval, QKeySequence(QString("Alt+") + Mnemonic(supply)));
  EXPECT_TRUE(supply->isDown()) << "Alt and the letter press the button";
  supply->click();
  EXPECT_EQ(supply->text().remove('&'), "Press to turn Vdut Off");
  EXPECT_FALSE(Mnemonic(supply).isNull()) << "a new caption keeps the letter";
}

TEST(Screen, EveryWindowFitsSmallScreensAndEveryTabScrolls) {
  MainWindowFixture f;
  for (int i = 0; i < f.w.SSTab1->count(); ++i) {
    EXPECT_NE(qobject_cast<QScrollArea*>(f.w.SSTab1->widget(i)), nullptr) << i;
  }
  // Free room in logical pixels, less a window manager's frame and title:
  // 1024x700 at scale 1 or 1600x1000 at scale 1.5; 1600x1000 at scale 2.
  const QSize frame(8, 30);
  const QSize small = QSize(1024, 700).boundedTo(QSize(1600, 1000) / 1.5) - frame;
  const QSize scale2 = QSize(1600, 1000) / 2 - frame;
  const QSize screen = f.w.screen()->availableGeometry().size();
  const struct {
    const char* action;
    const char* name;
    QSize room;
  } windows[] = {
      {nullptr, "formMain_QMA740", small},
      {"cmdDac_Adc", "frmEvalControl", small},
      {"mnuC_Bits", "frmC_M_Bits", small},
      {"mnuDebug", "frmDebugUSB", small},
      {"mnuSetAddress", "frmSetUSBAddress", small},
      {"mnuChooseBoards", "frmChooseBoards", small},
      {"mnuMeasurementPlot", "frmMeasurementPlot", small},
      {"cmdDUT_Writer", "frmUSB_DUT_Writer", scale2},
  };
  for (const auto& t : windows) {
    if (t.action) f.Find<QAction>(t.action)->trigger();
    QWidget* window = t.action ? f.w.findChild<QWidget*>(t.name) : &f.w;
    ASSERT_NE(window, nullptr) << t.name;
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_LE(least.width(), t.room.width()) << t.name;
    EXPECT_LE(least.height(), t.room.height()) << t.name;
    // Opened within the screen it is on.
    EXPECT_LE(window->width(), screen.width()) << t.name;
    EXPECT_LE(window->height(), screen.height()) << t.name;
  }
  // On 1024x700 the tabs show their whole width: the horizontal scroll bar
  // is only for larger scales.
  f.w.resize(small);
  QApplication::processEvents();
  const int shown = f.w.SSTab1->currentWidget()->width();
  for (int i = 0; i < f.w.SSTab1->count(); ++i) {
    auto* scroll = qobject_cast<QScrollArea*>(f.w.SSTab1->widget(i));
    EXPECT_LE(scroll->widget()->minimumSizeHint().width(), shown) << i;
  }
}

TEST(Feedback, BusyCursorWhileTheBoardWorksAndAutoCalibrationTellsItsSuccess) {
  Keyboard k;
  std::vector<int> cursors;
  k.c.ui.onMessage = [&] {
    const QCursor* cursor = QApplication::overrideCursor();
    cursors.push_back(cursor ? cursor->shape() : -1);
  };
  k.c.evm.calibration.txtRshunt = "none";
  k.Button("cmdEnterShuntR", "tabCalibrate")->click();
  QWidget* eval = k.Open("cmdDac_Adc", "frmEvalControl");
  eval->findChild<QLineEdit*>("Text7")->setText("7");
  eval->findChild<QPushButton*>("Command7")->click();
  EXPECT_EQ(cursors, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "restored after the work";

  eval->findChild<QRadioButton*>("Option1")->click();
  eval->findChild<QCheckBox*>("chkDAC_AutoCal")->click();
  eval->findChild<QLineEdit*>("Text7")->setText("2.5");
  eval->findChild<QPushButton*>("Command7")->click();
  auto* note = eval->findChild<QLabel*>("lblAutoCal");
  EXPECT_TRUE(note->text().startsWith("DACB auto-calibrated: ")) << note->text().toStdString();
  eval->findChild<QCheckBox*>("chkDAC_AutoCal")->click();
  eval->findChild<QPushButton*>("Command7")->click();
  EXPECT_EQ(note->text(), "") << "a plain write says nothing of a calibration";
}

TEST(Dialogs, OpenOverTheWindowThatAskedWithWarningsAndTheUsbSearchDetail) {
  QWidget main;
  QWidget tool(&main, Qt::Window);
  main.show();
  tool.show();
  QtUserInterface ui;
  ui.SetParentWindow(&main);
  const struct {
    QWidget* asking;
    const char* title;
    QMessageBox::Icon icon;
  } cases[] = {{&tool, "Error!", QMessageBox::Warning}, {&main, "About", QMessageBox::Information}};
  for (const auto& t : cases) {
    QApplication::setActiveWindow(t.asking);
    QWidget* owner = nullptr;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      owner = box->parentWidget();
      icon = box->icon();
      box->accept();
    });
    ui.MessageBox("text", t.title);
    EXPECT_EQ(owner, t.asking) << t.title;
    EXPECT_EQ(icon, t.icon) << t.title;
  }

  ui.SetUsbProblemDetail("Searched for the interface board, USB id 3A5F:2F90.");
  QString detail;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_NE(dialog, nullptr);
    detail = dialog->findChild<QLabel*>("lblDetail")->text();
    dialog->findChild<QPushButton*>("Command1")->click();
  });
  EXPECT_EQ(ui.UsbProblemDialog(), UsbProblemChoice::TryAgain);
  EXPECT_EQ(detail, "Searched for the interface board, USB id 3A5F:2F90.");
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
