// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <vector>

#include "evm.h"
#include "main_panels.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace evm::gui {

class formMain_QMA740;

// The "Calibrate" tab's two frames, drawn from core's calibration panel.
class CalibrationViews : public QObject {
  Q_OBJECT
 public:
  CalibrationViews(Evm& evm, MainPanels& panels, formMain_QMA740& form);

  void Render();

  QLineEdit* txtRshunt;
  QLineEdit* txtMaxShunt;
  QLineEdit* txtMaxBus;
  QLineEdit* txtMaxPosCur;
  QLineEdit* txtMaxExpectedCurrent;
  QLineEdit* txtMinLSB;
  QLineEdit* txtMaxLSB;
  QLineEdit* txtSelectedCurrentLSB;
  QLineEdit* txtFSC_Hex;
  QLineEdit* txtFSC_Dec;
  QLineEdit* txtPowerLSB;
  QLineEdit* txtMaxI;
  QLineEdit* txtMaxI_Hex;
  QLineEdit* txtMaxShunt_NoOverflow;
  QLabel* Label91;
  QLineEdit* txtMaxPower;
  QPushButton* cmdEnterShuntR;
  QPushButton* cmdEnterMaxExpCur;
  QPushButton* cmdEnterCurrentLSB;

  QLineEdit* txtMeasShuntCurrent;
  QPushButton* cmdReadInitCalCurrent;
  QLineEdit* txtQMA740_Current;
  QPushButton* cmdSecondCal;
  QLineEdit* txtNewFullScaleCal_dec;
  QLineEdit* txtNewFullScaleCal;
  QLineEdit* txtPostCal_Current;

 private:
  void BuildInitial();
  void BuildSecond();
  QLineEdit* Input(QWidget* parent, const char* name, std::string CalibrationPanel::*text);
  QLineEdit* Output(QWidget* parent, const char* name, std::string CalibrationPanel::*text);
  QPushButton* Button(QWidget* parent, const char* name, const char* caption,
                      void (*handler)(Evm&, MainPanels&));

  Evm& evm_;
  MainPanels& panels_;
  formMain_QMA740& form_;
  bool rendering_ = false;
  std::vector<std::pair<QLineEdit*, std::string CalibrationPanel::*>> boxes_;
};

}  // namespace evm::gui
