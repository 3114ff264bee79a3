// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <array>
#include <vector>

#include "evm.h"
#include "main_panels.h"
#include "registers/config_controls.h"

class QBoxLayout;
class QComboBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class QToolButton;
class QWidget;

namespace evm::gui {

class formMain_QMA740;
class frmHelpWithReg;

// The register controls of the main window: the grid and bit map, the value
// boxes, the choice lists and the read/write buttons on every tab. They draw
// the register panel of core and hand every event to its handlers.
class RegisterViews : public QObject {
  Q_OBJECT
 public:
  RegisterViews(Evm& evm, MainPanels& panels, formMain_QMA740& form);
  ~RegisterViews() override;

  // Draws the panel model into the controls.
  void Render();

  QTableWidget* gridReg;
  std::array<QLineEdit*, 16> txtBit;
  std::array<QLabel*, 16> lblBit;
  QLineEdit* txtReg;
  QWidget* updwnReg;
  QToolButton* updwnRegUp;
  QToolButton* updwnRegDown;
  QLineEdit* txtCurrent_Decmal;
  QPushButton* Command1;
  QPushButton* Command31;
  std::vector<QPushButton*> Command8;
  std::vector<QPushButton*> Command9;
  std::vector<QPushButton*> cmdStartContinuousRead;
  std::vector<QPushButton*> cmdStopContinuousRead;
  QComboBox* cmbShuntGain;
  QComboBox* cmbBusGain;
  QComboBox* cmbShuntResolution;
  QComboBox* cmbBusResolution;
  QComboBox* cmbCnvMode;
  QComboBox* cmbA0;
  QComboBox* cmbA1;
  QLineEdit* txtAddress;
  // Value boxes by the index they carry.
  std::vector<std::pair<int, QLineEdit*>> txtShunt;
  std::vector<std::pair<int, QLineEdit*>> txtVbus;
  std::vector<std::pair<int, QLineEdit*>> txtPower;
  QLineEdit* cmd_I_shunt;
  QLineEdit* txtCurrent2;
  QLineEdit* txtFSC;
  frmHelpWithReg* helpWithReg;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildOverview();
  void BuildAdConfig();
  void BuildCalibrate();
  void BuildScaling();
  void BuildRegisters();
  void AddReadWriteButtons(QWidget* parent, QBoxLayout* layout, const char* writeCaption,
                           bool continuous);
  QComboBox* AddList(QWidget* parent, const char* name, ConfigList list, const auto& items);
  QLineEdit* ValueBox(QWidget* parent, const QString& name, int width = 110);
  void RenderGrid();
  // Runs a core handler on the user's behalf, then redraws.
  template <typename Handler>
  void Act(Handler handler);

  Evm& evm_;
  MainPanels& panels_;
  formMain_QMA740& form_;
  bool rendering_ = false;
  bool validating_ = false;
  bool afterDoubleClick_ = false;
};

}  // namespace evm::gui
