// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <memory>

#include "acquisition/summary_log.h"
#include "evm.h"
#include "main_panels.h"
#include "plot/measurement_series.h"
#include "shell/main_load.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;

namespace evm::gui {

class CalibrationViews;
class RegisterViews;
class frmC_M_Bits;
class frmChooseBoards;
class frmDebugUSB;
class frmEvalControl;
class frmMeasurementPlot;
class frmSetUSBAddress;
class frmUSB_DUT_Writer;

// The main window "ZM5520/1 EVM": owns the program's lifetime.
class formMain_QMA740 : public QMainWindow {
  Q_OBJECT
 public:
  explicit formMain_QMA740(Evm& evm, QWidget* parent = nullptr);
  ~formMain_QMA740() override;

  // The window's load; false when the user chose "Abort Program".
  bool Load();
  LoadOutcome Outcome() const { return outcome_; }

  QTabWidget* SSTab1;
  QWidget* tabOverview;
  QWidget* tabAdConfig;
  QWidget* tabCalibrate;
  QWidget* tabScaling;
  QWidget* tabRegisters;
  QLineEdit* Text1;
  QLineEdit* txtDutNotAck;
  QGroupBox* Frame7;
  QGroupBox* Frame9;
  QGroupBox* Frame3;
  QGroupBox* Frame13;
  QGroupBox* Frame10;
  QGroupBox* Frame1;
  QGroupBox* Frame2;

  // What the program is doing, always in view.
  QLabel* lblStatus;

  QMenu* mnuEvmControls;
  QMenu* mnuUsbControls;
  QMenu* mnuHelp;
  QAction* mnuSaveReg;
  QAction* mnuLoadReg;
  QAction* mnuLogToFile;
  // One row per interval of the passes (min, mean, max, charge, energy),
  // for runs of days: the log a spreadsheet still opens.
  QAction* mnuSummaryLog;
  QAction* mnuEngineeringMode;
  QAction* mnuMeasurementPlot;
  QAction* mnuReadAll;
  QAction* mnuStartRead;
  QAction* mnuStopRead;
  QAction* mnuQuit;
  QAction* mnuC_Bits;
  QAction* cmdDac_Adc;
  QAction* cmdDUT_Writer;
  QAction* mnuSetAddress;
  // Leaves "Run Without USB" when the register link is found.
  QAction* mnuTryUsbAgain;
  QAction* mnuChooseBoards;
  QAction* mnuDebug;
  QAction* mnuAbout;

  // What the tabs and the debug window show, drawn from core's handlers.
  MainPanels& Panels() { return panels_; }

  RegisterViews* registerViews;
  CalibrationViews* calibrationViews;

  // Draws every panel model of core into its controls.
  void RenderPanels();
  // The size at which every tab shows all of its content without scrolling.
  QSize ContentSize() const;
  // Supply of the device under test, in "External Controls".
  QPushButton* Command14;
  QPushButton* Command30;

  // The interface board's windows, one instance each while open.
  QPointer<frmC_M_Bits> cMBits;
  QPointer<frmUSB_DUT_Writer> dutWriter;
  QPointer<frmSetUSBAddress> setAddress;
  QPointer<frmChooseBoards> chooseBoards;
  QPointer<frmDebugUSB> debugUsb;
  QPointer<frmEvalControl> evalControl;
  QPointer<frmMeasurementPlot> measurementPlot;
  // "Set Address and Try Again" shows the address window modally.
  void ShowSetAddressModal();
  // Every pass of the continuous reading since the program started, the
  // oldest making room when it is full: the plot shows them when it opens.
  const MeasurementSeries& PassHistory() const { return passHistory_; }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildMenus();
  void BuildTabs();
  void ShowAbout();
  void BuildUsbControls();
  void FitToScreen();
  frmSetUSBAddress* SetAddressWindow();

  Evm& evm_;
  MainPanels panels_;
  LoadOutcome outcome_ = LoadOutcome::Loaded;
  bool unloaded_ = false;
  void StartSummaryLog();
  void StopSummaryLog();
  MeasurementSeries passHistory_;
  int passListener_ = 0;
  std::unique_ptr<SummaryLog> summaryLog_;
  std::filesystem::path summaryPath_;
  bool summaryOpened_ = false;
  double summaryLastTime_ = 0;
};

}  // namespace evm::gui
