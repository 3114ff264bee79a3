#pragma once

#include <QWidget>
#include <memory>

#include "common/number_locale.h"
#include "common/user_interface.h"
#include "script/script_board.h"
#include "script/script_grid.h"

class QCloseEvent;
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
  // Draws the model into the widgets.
  void Render();

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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  class RenderingUi;
  void CellClicked(int row, int column);
  void SetRunning(bool running);

  ScriptGrid grid_;
  ScriptBoard& board_;
  UserInterface& ui_;
  NumberLocale locale_;
  std::unique_ptr<RenderingUi> renderingUi_;
  bool rendering_ = false;
  bool closeAfterRun_ = false;
};

}  // namespace evm::gui
