// SPDX-License-Identifier: GPL-3.0-or-later
// The windows at the bench: keyboard only, a small screen, the dialogs, the
// status line.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "gui/shell/frm_set_usb_address.h"
#include "gui/shell/qt_user_interface.h"
#include "main_window_fixture.h"
#include "script/script_files.h"

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

TEST(Keyboard, TabLeavesTheGridSpaceTogglesBitBoxesEscapeClosesAndF5Reads) {
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
  EXPECT_EQ(k.c.evm.registers().RegValue[5], 0x4321);
}

TEST(Keyboard, ReturnPressesTheButtonOfABoxAndTheFocusedButton) {
  Keyboard k;
  k.w.SSTab1->setCurrentIndex(2);
  auto* rshunt = k.Find<QLineEdit>("txtRshunt");
  rshunt->setFocus();
  rshunt->selectAll();
  QTest::keyClicks(rshunt, "0.02");
  QTest::keyClick(rshunt, Qt::Key_Return);
  EXPECT_EQ(k.w.Panels().calibration.txtMaxPosCur, "16.") << "Enter Shunt Resistance ran";

  // A focused button: Read All Reg after a write behind its back.
  k.c.sim->RegLink()->Device().SetRegisterForTest(5, 0x1234);
  QPushButton* read = k.Button("Command8", "tabCalibrate");
  QTest::keyClick(read, Qt::Key_Return);
  EXPECT_EQ(k.c.evm.registers().RegValue[5], 0x1234);

  QWidget* eval = k.Open("cmdDac_Adc", "frmEvalControl");
  auto* dacb = eval->findChild<QLineEdit*>("Text7");
  QTest::keyClicks(dacb, "1.5");
  QTest::keyClick(dacb, Qt::Key_Return);
  EXPECT_NE(k.c.sim->TestBoard().dacCode[1], 0) << "Write DACB ran";

  auto* address = qobject_cast<frmSetUSBAddress*>(k.Open("mnuSetAddress", "frmSetUSBAddress"));
  EXPECT_TRUE(address->findChild<QPushButton*>("Command3")->isDefault());
}

// On the Calibrate tab the first Tab reaches Rshunt and the work goes on
// from there; the register buttons below come last.
TEST(Keyboard, CalibrateTabOrderStartsAtRshuntAndEndsWithTheRegisterButtons) {
  Keyboard k;
  k.w.SSTab1->setCurrentIndex(2);
  // One round of the Tab key, from the tab bar back to it.
  QStringList order;
  QWidget* at = k.w.SSTab1->tabBar();
  for (int i = 0; i < 40; ++i) {
    at = Keyboard::FocusAfter(at, Qt::Key_Tab);
    if (!at || at == k.w.SSTab1->tabBar()) break;
    order << at->objectName();
  }
  EXPECT_EQ(order.mid(0, 4), (QStringList{"txtRshunt", "cmdEnterShuntR", "txtMaxExpectedCurrent",
                                          "cmdEnterMaxExpCur"}))
      << order.join(' ').toStdString();
  EXPECT_EQ(order.mid(order.size() - 2), (QStringList{"Command8", "Command9"}))
      << order.join(' ').toStdString();
}

// The letter after '&' in a button's caption; null for none.
QChar Mnemonic(const QPushButton* button) {
  const qsizetype at = button->text().indexOf('&');
  return at >= 0 ? button->text()[at + 1].toUpper() : QChar();
}

TEST(Keyboard, EveryButtonAndMenuItemHasItsOwnAltLetterAndTheMenusShowTheKeys) {
  Keyboard k;
  QWidget* eval = k.Open("cmdDac_Adc", "frmEvalControl");
  std::vector<QWidget*> scopes{eval};  // buttons seen together: a window, or a tab page
  for (int i = 0; i < k.w.SSTab1->count(); ++i) scopes.push_back(k.w.SSTab1->widget(i));
  for (QWidget* scope : scopes) {
    QString letters = scope->isWindow() ? "" : "EUH";  // the menus'
    for (QPushButton* button : scope->findChildren<QPushButton*>()) {
      EXPECT_FALSE(Mnemonic(button).isNull() || letters.contains(Mnemonic(button)))
          << button->text().toStdString();
      letters += Mnemonic(button);
    }
  }
  auto* supply = eval->findChild<QPushButton*>("Command3");
  QApplication::setActiveWindow(eval);
  QTest::keySequence(eval, QKeySequence(QString("Alt+") + Mnemonic(supply)));
  EXPECT_TRUE(supply->isDown()) << "Alt and the letter press the button";
  supply->click();
  EXPECT_EQ(supply->text().remove('&'), "Press to turn Vdut Off");
  EXPECT_FALSE(Mnemonic(supply).isNull()) << "a new caption keeps the letter";

  QStringList keys;
  for (QMenu* menu : {k.w.mnuEvmControls, k.w.mnuUsbControls, k.w.mnuHelp}) {
    QString letters;
    for (const QAction* item : menu->actions()) {
      if (item->isSeparator()) continue;
      const qsizetype at = item->text().indexOf('&');
      const QChar letter = at >= 0 ? item->text()[at + 1].toUpper() : QChar();
      EXPECT_FALSE(letter.isNull() || letters.contains(letter)) << item->text().toStdString();
      letters += letter;
      if (!item->shortcut().isEmpty()) keys << item->shortcut().toString();
    }
  }
  EXPECT_EQ(keys, (QStringList{"F5", "F6", "F7", "Ctrl+Q"}));
  QApplication::setActiveWindow(&k.w);
  QTest::keySequence(&k.w, QKeySequence("Ctrl+Q"));
  EXPECT_FALSE(k.w.isVisible()) << "Quit closes the program's window";
}

TEST(Screen, WindowsFitSmallScreensAndTabsShowTheirWidthAt1024) {
  MainWindowFixture f;
  // Logical room less a window manager's frame: 1024x700 at scale 1 or
  // 1600x1000 at 1.5, and 1600x1000 at scale 2 for the raw-command window.
  const QSize small = QSize(1024, 700).boundedTo(QSize(1600, 1000) / 1.5) - QSize(8, 30);
  const QSize screen = f.w.screen()->availableGeometry().size();
  const std::tuple<const char*, const char*, QSize> windows[] = {
      {"cmdDac_Adc", "frmEvalControl", small},
      {"mnuMeasurementPlot", "frmMeasurementPlot", small},
      {"cmdDUT_Writer", "frmUSB_DUT_Writer", QSize(1600, 1000) / 2 - QSize(8, 30)}};
  for (const auto& [action, name, room] : windows) {
    f.Find<QAction>(action)->trigger();
    QWidget* window = f.w.findChild<QWidget*>(name);
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_TRUE(least.width() <= room.width() && least.height() <= room.height()) << name;
    EXPECT_TRUE(window->width() <= screen.width() && window->height() <= screen.height()) << name;
  }
  f.w.resize(small);
  QApplication::processEvents();
  for (int i = 0; i < f.w.SSTab1->count(); ++i) {
    auto* scroll = qobject_cast<QScrollArea*>(f.w.SSTab1->widget(i));
    ASSERT_NE(scroll, nullptr) << i;
    EXPECT_LE(scroll->widget()->minimumSizeHint().width(), f.w.SSTab1->currentWidget()->width())
        << f.w.SSTab1->tabText(i).toStdString();
  }
}

TEST(Feedback, BusyCursorWhileTheBoardWorksAndAutoCalibrationTellsItsSuccess) {
  Keyboard k;
  std::vector<int> cursors;
  k.c.ui.onMessage = [&] { cursors.push_back(QApplication::overrideCursor()->shape()); };
  k.w.Panels().calibration.txtRshunt = "none";
  k.Button("cmdEnterShuntR", "tabCalibrate")->click();
  QWidget* eval = k.Open("cmdDac_Adc", "frmEvalControl");
  auto* dacb = eval->findChild<QLineEdit*>("Text7");
  dacb->setText("7");
  eval->findChild<QPushButton*>("Command7")->click();
  EXPECT_EQ(cursors, (std::vector<int>{Qt::WaitCursor, Qt::WaitCursor}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "restored after the work";

  eval->findChild<QRadioButton*>("Option1")->click();
  eval->findChild<QCheckBox*>("chkDAC_AutoCal")->click();
  dacb->setText("2.5");
  eval->findChild<QPushButton*>("Command7")->click();
  EXPECT_TRUE(eval->findChild<QLabel*>("lblAutoCal")->text().startsWith("DACB auto-calibrated: "));
}

TEST(Dialogs, MessageBoxesOpenOverTheWindowThatAskedAndErrorsCarryAWarning) {
  QWidget main;
  QWidget tool(&main, Qt::Window);
  main.show();
  tool.show();
  QtUserInterface ui;
  ui.SetParentWindow(&main);
  struct Shown {
    QWidget* parent = nullptr;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
  };
  auto message = [&](const std::string& title) {
    Shown shown;
    QTimer::singleShot(0, &main, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      shown = {box->parentWidget(), box->windowTitle(), box->icon()};
      box->accept();
    });
    ui.MessageBox("text", title);
    return shown;
  };
  const std::tuple<QWidget*, const char*, const char*, QMessageBox::Icon> cases[] = {
      {&tool, "Error!", "Error!", QMessageBox::Warning},
      {&main, "About", "About", QMessageBox::Information},
      {&tool, "", "ZM5520/1 EVM", QMessageBox::Warning}};
  for (const auto& [asking, title, shownTitle, icon] : cases) {
    QApplication::setActiveWindow(asking);
    const Shown shown = message(title);
    EXPECT_EQ(shown.parent, asking) << title;
    EXPECT_EQ(shown.title, shownTitle) << title;
    EXPECT_EQ(shown.icon, icon) << title;
  }

  // Once a file dialog has gone, no window is active until the window
  // manager gets round to it; the message still goes over the window that
  // asked for the file.
  QApplication::setActiveWindow(&tool);
  QTimer::singleShot(0, &main, [] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
  });
  EXPECT_FALSE(ui.OpenFileDialog({"Load Script", "Text (*.txt)|*.txt", "", ""}).has_value());
  QApplication::setActiveWindow(nullptr);
  EXPECT_EQ(message("").parent, &tool);
}

// The file dialog as `act` finds it once it is up.
std::optional<std::string> SaveDialog(const FileDialogRequest& request,
                                      const std::function<void(QFileDialog*)>& act) {
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  return QtUserInterface().SaveFileDialog(request);
}

// Register files, the measurement log and result files are replaced without
// a question.
TEST(FileDialogs, ChoosingAnExistingFileToWriteReplacesItWithoutAsking) {
  test::TempDir dir;
  const std::string existing = (dir.path() / "registers.csv").string();
  std::ofstream(existing) << "1\r\n";
  bool asked = false;
  // Without a question the timer is still pending when the test ends; its
  // context takes it along instead of letting it write into this frame later.
  QObject scope;
  const auto chosen =
      SaveDialog({"Save Registers To File", "Csv Files (*.csv)|*.csv", dir.path().string(), ""},
                 [&](QFileDialog* dialog) {
                   QTimer::singleShot(0, &scope, [&] {
                     auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                     asked = box != nullptr;
                     if (box) box->reject();
                   });
                   dialog->selectFile(QString::fromStdString(existing));
                   // as the dialog's own button does
                   static_cast<QDialog*>(dialog)->accept();
                 });
  EXPECT_FALSE(asked);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(std::filesystem::path(*chosen), std::filesystem::path(existing));
}

// A name typed without a suffix gets the chosen filter's, so the same filter
// lists the file when it is opened again.
TEST(FileDialogs, ANameWithoutSuffixGetsTheChosenFiltersOne) {
  test::TempDir dir;
  const char* csvOrAll = "Csv Files (*.csv)|*.csv|All Files (*.*)|*.*";
  const struct {
    const char* filter;
    int chosen;
    const char* typed;
    const char* saved;
  } cases[] = {
      {csvOrAll, 0, "regs1", "regs1.csv"},
      {csvOrAll, 0, "regs1.txt", "regs1.txt"},
      {csvOrAll, 1, "regs1", "regs1"},
      {kResultsFilter, 0, "run", "run.txt"},
  };
  for (const auto& c : cases) {
    const auto file = SaveDialog({"Save", c.filter, dir.path().string(), ""}, [&](QFileDialog* d) {
      // as the user picks a type and types a name
      if (auto* types = d->findChild<QComboBox*>("fileTypeCombo")) {
        for (int i = 0; i < c.chosen; ++i) QTest::keyClick(types, Qt::Key_Down);
      }
      if (auto* name = d->findChild<QLineEdit*>("fileNameEdit")) name->setText(c.typed);
      static_cast<QDialog*>(d)->accept();
    });
    ASSERT_TRUE(file.has_value()) << c.typed;
    EXPECT_EQ(std::filesystem::path(*file), dir.path() / c.saved) << c.filter << " " << c.chosen;
  }
}

// The results filter names RSL but lists text files, the pattern it gives.
TEST(FileDialogs, FiltersShowTheirNameAndListByTheirPattern) {
  QStringList shown;
  QStringList listed;
  SaveDialog({"", kResultsFilter, "", ""}, [&](QFileDialog* dialog) {
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i);
    if (auto* files = dialog->findChild<QFileSystemModel*>()) listed = files->nameFilters();
  });
  EXPECT_EQ(shown, QStringList({"Result (*.RSL)", "All Files (*.*)"}));
  EXPECT_EQ(listed, QStringList({"*.txt"}));
}

TEST(StatusBar, SaysWhichBoardsAndWhatRuns) {
  MainWindowFixture f;
  auto* status = f.w.statusBar()->findChild<QLabel*>("lblStatus");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->text(), "Simulated EVM: register link 3A5F:5F00, interface board 3A5F:2F90");
  f.c.evm.shell().RunWithoutUsb = true;
  f.c.evm.measurement().ContinuousRead = true;
  f.c.evm.measurement().ContinuousPasses = 3;
  f.c.evm.measurement().LogActive = true;
  f.c.evm.measurement().logFileName = "bench.csv";
  f.w.RenderPanels();
  EXPECT_EQ(status->text(),
            "No USB (Run Without USB)   |   Continuous read: 3 passes   |   Logging to bench.csv");
}

}  // namespace
}  // namespace evm::gui
