// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/form_main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/number_text.h"
#include "common/utf8_path.h"
#include "gui/calibration/calibration_views.h"
#include "gui/plot/frm_measurement_plot.h"
#include "gui/registers/register_views.h"
#include "gui/shell/frm_choose_boards.h"
#include "gui/shell/keyboard.h"
#include "gui/shell/screen_fit.h"
#include "shell/board_selection_file.h"
#include "shell/status_text.h"

namespace evm::gui {

namespace {

QGroupBox* Frame(QWidget* parent, const char* name, const char* caption) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(name);
  return frame;
}

// A tab page scrolls when the window is smaller than its content, so every
// control stays reachable on a small screen or at a large scale.
QWidget* Page(QTabWidget* tabs, const char* name, const char* caption) {
  auto* scroll = new QScrollArea(tabs);
  scroll->setObjectName(QString(name) + "Scroll");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  // No Tab stop of its own: the first Tab goes to the page's first control,
  // and the area scrolls to whichever control has the focus.
  scroll->setFocusPolicy(Qt::NoFocus);
  auto* page = new QWidget(scroll);
  page->setObjectName(name);
  scroll->setWidget(page);
  tabs->addTab(scroll, caption);
  return page;
}

}  // namespace

formMain_QMA740::formMain_QMA740(Evm& evm, QWidget* parent) : QMainWindow(parent), evm_(evm) {
  setObjectName("formMain_QMA740");
  setWindowTitle("ZM5520/1 EVM");
  // Before any plot's listener, so a plot finds each pass already here.
  passListener_ = evm_.measurement().AddPassListener([this](const MeasurementPass& pass) {
    passHistory_.Append(pass);
    if (!summaryLog_) return;
    std::error_code ec;
    if (!summaryOpened_) summaryOpened_ = summaryLog_->Open(summaryPath_, pass.time, ec);
    if (summaryOpened_ && !pass.acknowledged) summaryLog_->AddLost(pass.time, 1);
    if (summaryOpened_ && pass.acknowledged) {
      summaryLastTime_ = pass.time;
      summaryOpened_ = summaryLog_->Add(
          {pass.time, {pass.busVolts, pass.shuntVolts, pass.amperes, pass.watts}}, ec);
    }
    if (!summaryOpened_) {
      summaryLog_.reset();
      mnuSummaryLog->setChecked(false);
      evm_.ui().MessageBox(
          "The summary log \"" + summaryPath_.string() + "\" could not be written: " + ec.message(),
          "Log Summary To File");
    }
  });
  BuildMenus();
  BuildTabs();
  registerViews = new RegisterViews(evm, panels_, *this);
  calibrationViews = new CalibrationViews(evm, panels_, *this);
  BuildUsbControls();
  ReturnPressesButtons(this);
  // The menu bar's letters stay with the menus.
  GiveMnemonics(this, "EUH");
  lblStatus = new QLabel(statusBar());
  lblStatus->setObjectName("lblStatus");
  statusBar()->addWidget(lblStatus, 1);
  FitToScreen();
}

QSize formMain_QMA740::ContentSize() const {
  QSize want(0, 0);
  for (int i = 0; i < SSTab1->count(); ++i) {
    auto* scroll = qobject_cast<QScrollArea*>(SSTab1->widget(i));
    if (scroll) want = want.expandedTo(scroll->widget()->sizeHint());
  }
  want += QSize(40, 40 + menuBar()->sizeHint().height() + statusBar()->sizeHint().height() +
                        SSTab1->tabBar()->sizeHint().height() + txtDutNotAck->sizeHint().height());
  return want;
}

void formMain_QMA740::FitToScreen() {
  // As large as the widest tab wants, but never beyond the screen: what does
  // not fit scrolls.
  ResizeWithinScreen(this, ContentSize());
}

void formMain_QMA740::BuildMenus() {
  // Mnemonics: the underline leaves the captions as they are.
  mnuEvmControls = menuBar()->addMenu("&EVM Controls");
  mnuEvmControls->setObjectName("mnuEvmControls");
  auto add = [](QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
  };
  mnuSaveReg = add(mnuEvmControls, "mnuSaveReg", "&Save Registers To File");
  mnuLoadReg = add(mnuEvmControls, "mnuLoadReg", "&Load Registers From File");
  mnuLogToFile = add(mnuEvmControls, "mnuLogToFile", "Lo&g ZM5520/1 To File");
  mnuSummaryLog = add(mnuEvmControls, "mnuSummaryLog", "Log S&ummary To File...");
  mnuSummaryLog->setCheckable(true);
  connect(mnuSummaryLog, &QAction::triggered, this, [this](bool on) {
    if (on) {
      StartSummaryLog();
    } else {
      StopSummaryLog();
    }
  });
  mnuEngineeringMode = add(mnuEvmControls, "mnuEngineeringMode", "&Engineering Mode");
  mnuEngineeringMode->setCheckable(true);
  mnuMeasurementPlot = add(mnuEvmControls, "mnuMeasurementPlot", "&Measurement Plot");
  connect(mnuMeasurementPlot, &QAction::triggered, this, [this] {
    if (!measurementPlot) {
      measurementPlot = new frmMeasurementPlot(evm_, panels_, passHistory_, this);
      measurementPlot->setAttribute(Qt::WA_DeleteOnClose);
      // The reading's keys work while the plot, which shows it, is in front.
      measurementPlot->addActions({mnuReadAll, mnuStartRead, mnuStopRead});
      // The plot's fast capture holds the board on a thread of its own:
      // whatever here would read or write a register waits for it.
      connect(measurementPlot, &frmMeasurementPlot::linkHeld, this, [this](bool held) {
        centralWidget()->setEnabled(!held);
        for (QAction* a : {mnuSaveReg, mnuLoadReg, mnuReadAll, mnuStartRead, mnuChooseBoards}) {
          a->setEnabled(!held);
        }
        // Already open, it could reopen the link under the capture.
        if (chooseBoards) chooseBoards->setEnabled(!held);
      });
    }
    ShowOnScreen(measurementPlot);
  });
  // The keys of the frequent actions, where a menu shows them; the register
  // views connect them to their buttons.
  mnuEvmControls->addSeparator();
  mnuReadAll = add(mnuEvmControls, "mnuReadAll", "&Read All Reg");
  mnuReadAll->setShortcut(QKeySequence(Qt::Key_F5));
  mnuStartRead = add(mnuEvmControls, "mnuStartRead", "S&tart Continuous Read");
  mnuStartRead->setShortcut(QKeySequence(Qt::Key_F6));
  mnuStopRead = add(mnuEvmControls, "mnuStopRead", "St&op Continuous Read");
  mnuStopRead->setShortcut(QKeySequence(Qt::Key_F7));
  mnuEvmControls->addSeparator();
  mnuQuit = add(mnuEvmControls, "mnuQuit", "&Quit");
  mnuQuit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(mnuQuit, &QAction::triggered, this, &QWidget::close);

  mnuUsbControls = menuBar()->addMenu("&USB Controls");
  mnuUsbControls->setObjectName("mnuUsbControls");
  mnuC_Bits = add(mnuUsbControls, "mnuC_Bits", "&Control and Measure Bits");
  cmdDac_Adc = add(mnuUsbControls, "cmdDac_Adc", "&DAC and ADC");
  cmdDUT_Writer = add(mnuUsbControls, "cmdDUT_Writer", "DUT &Writer");
  mnuSetAddress = add(mnuUsbControls, "mnuSetAddress", "Set &Address");
  mnuTryUsbAgain = add(mnuUsbControls, "mnuTryUsbAgain", "&Try USB Again");
  mnuChooseBoards = add(mnuUsbControls, "mnuChooseBoards", "C&hoose Boards...");
  mnuDebug = add(mnuUsbControls, "mnuDebug", "De&bug");

  mnuHelp = menuBar()->addMenu("&Help");
  mnuHelp->setObjectName("mnuHelp");
  mnuAbout = add(mnuHelp, "mnuAbout", "&About");
  connect(mnuAbout, &QAction::triggered, this, &formMain_QMA740::ShowAbout);
}

void formMain_QMA740::BuildTabs() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  txtDutNotAck = new QLineEdit("ZM5520/1 Did Not Acknowledge!", central);
  txtDutNotAck->setObjectName("txtDutNotAck");
  txtDutNotAck->setReadOnly(true);
  // A warning to read, not a control: the first Tab goes to the tabs' controls.
  txtDutNotAck->setFocusPolicy(Qt::NoFocus);
  txtDutNotAck->setAlignment(Qt::AlignCenter);
  QPalette warning = txtDutNotAck->palette();
  warning.setColor(QPalette::Text, Qt::red);
  txtDutNotAck->setPalette(warning);
  QFont bold = txtDutNotAck->font();
  bold.setBold(true);
  txtDutNotAck->setFont(bold);
  // Its band stays reserved while it is hidden: the tabs below must not jump
  // under the mouse each time a read fails or succeeds again.
  QSizePolicy keepBand = txtDutNotAck->sizePolicy();
  keepBand.setRetainSizeWhenHidden(true);
  txtDutNotAck->setSizePolicy(keepBand);
  txtDutNotAck->setVisible(false);
  layout->addWidget(txtDutNotAck);

  SSTab1 = new QTabWidget(central);
  SSTab1->setObjectName("SSTab1");
  layout->addWidget(SSTab1, 1);
  setCentralWidget(central);

  tabOverview = Page(SSTab1, "tabOverview", "Overview");
  tabAdConfig = Page(SSTab1, "tabAdConfig", "A/D Config");
  tabCalibrate = Page(SSTab1, "tabCalibrate", "Calibrate");
  tabScaling = Page(SSTab1, "tabScaling", "Scaling");
  tabRegisters = Page(SSTab1, "tabRegisters", "Registers");

  auto* overview = new QVBoxLayout(tabOverview);
  Text1 = new QLineEdit(tabOverview);
  Text1->setObjectName("Text1");
  Text1->setVisible(false);  // only the locale test uses it
  Frame7 = Frame(tabOverview, "Frame7", "External Controls");
  overview->addWidget(Frame7);
  overview->addStretch(1);

  auto* adConfig = new QVBoxLayout(tabAdConfig);
  Frame9 = Frame(tabAdConfig, "Frame9", "A/D Configuration");
  adConfig->addWidget(Frame9);
  adConfig->addStretch(1);

  // Frames side by side; the tab's buttons go in a row below them.
  auto* calibrateTab = new QVBoxLayout(tabCalibrate);
  auto* calibrate = new QHBoxLayout();
  calibrateTab->addLayout(calibrate, 1);
  Frame3 = Frame(tabCalibrate, "Frame3", "Initial Calibration ( Compute Full Scale Cal Reg)");
  Frame13 = Frame(tabCalibrate, "Frame13", "Second Calibration");
  calibrate->addWidget(Frame3, 3);
  calibrate->addWidget(Frame13, 2);

  auto* scaling = new QVBoxLayout(tabScaling);
  Frame10 = Frame(tabScaling, "Frame10", "Scaling Overview");
  scaling->addWidget(Frame10);

  auto* registersTab = new QVBoxLayout(tabRegisters);
  auto* registers = new QHBoxLayout();
  registersTab->addLayout(registers, 1);
  Frame1 = Frame(tabRegisters, "Frame1", "ZM5520/1 Registers");
  Frame2 = Frame(tabRegisters, "Frame2", "Register Bit Map");
  registers->addWidget(Frame1, 3);
  registers->addWidget(Frame2, 2);
}

void formMain_QMA740::StartSummaryLog() {
  mnuSummaryLog->setChecked(false);
  const auto text =
      evm_.ui().InputBox("Seconds per row of the summary log:", "Log Summary To File", "1");
  if (!text) return;
  auto seconds = ParseLocaleNumber(*text, evm_.locale());
  if (!seconds) seconds = ParseInvariantNumber(*text);
  if (!seconds || !(*seconds > 0)) {
    evm_.ui().MessageBox("\"" + *text + "\" is not a number of seconds above 0.",
                         "Log Summary To File");
    return;
  }
  const auto file = evm_.ui().SaveFileDialog(
      {"Log Summary To File", "Csv Files (*.csv)|*.csv|All Files (*.*)|*.*", "", "summary.csv"});
  if (!file || file->empty()) return;
  summaryPath_ = PathFromUtf8(*file);
  summaryLog_ = std::make_unique<SummaryLog>(*seconds);
  summaryOpened_ = false;
  mnuSummaryLog->setChecked(true);
}

void formMain_QMA740::StopSummaryLog() {
  mnuSummaryLog->setChecked(false);
  if (!summaryLog_) return;
  std::error_code ec;
  const bool written = !summaryOpened_ || summaryLog_->Finish(summaryLastTime_, ec);
  summaryLog_->Close();
  summaryLog_.reset();
  if (!written) {
    evm_.ui().MessageBox(
        "The summary log \"" + summaryPath_.string() + "\" could not be written: " + ec.message(),
        "Log Summary To File");
  }
}

formMain_QMA740::~formMain_QMA740() {
  evm_.measurement().RemovePassListener(passListener_);
  if (summaryLog_) {
    std::error_code ec;
    if (summaryOpened_) summaryLog_->Finish(summaryLastTime_, ec);
  }
  // The views draw into panels_, which is gone before QObject deletes the
  // children; so they go first, with their connections.
  delete registerViews;
  delete calibrationViews;
}

bool formMain_QMA740::Load() {
  SSTab1->setCurrentIndex(0);
  Text1->setText(QString::fromStdString(FormatGeneral(1.1, evm_.locale())));
  // The chosen boards first, so the start-up's own reads go to them.
  if (const std::string ignored = LoadBoardSelection(evm_); !ignored.empty()) {
    evm_.ui().MessageBox(ignored, "Choose Boards");
  }
  outcome_ = MainLoad(evm_, panels_);
  RenderPanels();
  return outcome_ != LoadOutcome::Aborted;
}

bool formMain_QMA740::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate && !evm_.shell().FirstActivationDone) {
    FirstActivation(evm_, panels_);
    RenderPanels();
  }
  return QMainWindow::event(e);
}

void formMain_QMA740::closeEvent(QCloseEvent* e) {
  if (!unloaded_) {
    unloaded_ = true;
    // Every other window goes with the main window.
    MainUnload(evm_, panels_, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this) w->close();
      }
    });
  }
  e->accept();
}

void formMain_QMA740::RenderPanels() {
  registerViews->Render();
  calibrationViews->Render();
  lblStatus->setText(QString::fromStdString(StatusText(evm_)));
  if (measurementPlot) measurementPlot->ShowReadingState();
  mnuTryUsbAgain->setEnabled(evm_.shell().RunWithoutUsb);
}

void formMain_QMA740::ShowAbout() {
  evm_.ui().MessageBox(AboutText(), "About");
}

}  // namespace evm::gui
