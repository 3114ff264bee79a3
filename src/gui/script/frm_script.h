// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "common/clock.h"
#include "common/number_locale.h"
#include "common/user_interface.h"
#include "script/run_record.h"
#include "script/script_board.h"
#include "script/script_grid.h"

class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace evm::gui {

// "Script": the script grid with its editing, file and run buttons.
class frmScript : public QWidget {
  Q_OBJECT
 public:
  frmScript(ScriptBoard& board, UserInterface& ui, NumberLocale locale, QWidget* parent = nullptr);
  ~frmScript() override;

  ScriptGrid& Grid() { return grid_; }
  // Draws what changed in the model since the last drawing: the rows
  // written, the highlight and the scroll position.
  void Render();
  // Draws every row, as after the whole grid was replaced.
  void RenderAll();
  // The clock that times the rows of a run for its record.
  void UseClock(Clock& clock) { clock_ = &clock; }

  QTableWidget* MSFlexGrid1;
  QLineEdit* Text1;
  QPushButton* Command1;
  QPushButton* Command2;
  QPushButton* Command3;
  QPushButton* Command4;
  QPushButton* Command5;
  QPushButton* Command6;
  QPushButton* Command7;
  QPushButton* Command8;
  QPushButton* Command9;
  QPushButton* cmdSaveRecord;
  // The count of PASS and FAIL rows after a run, as evmctl ends one.
  QLabel* lblVerdicts;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class RenderingUi;
  void CellClicked(int row, int column);
  void SetRunning(bool running);
  void Draw(bool everyRow);
  // Whether the row's label changed.
  bool DrawRow(int row);
  void PaintHighlight(int row, int col, bool lit);

  ScriptGrid grid_;
  ScriptBoard& board_;
  UserInterface& ui_;
  NumberLocale locale_;
  std::unique_ptr<RenderingUi> renderingUi_;
  bool rendering_ = false;
  // What the widgets show of the model's highlight and top row.
  int litRow_ = 0;
  int litCol_ = 0;
  int shownTopRow_ = 0;
  bool closeAfterRun_ = false;
  SystemClock systemClock_;
  Clock* clock_ = &systemClock_;
  std::optional<RunRecord> lastRecord_;  // of the last Run Script
};

}  // namespace evm::gui
