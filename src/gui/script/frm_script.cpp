// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/script/frm_script.h"

#include <algorithm>

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/shell/keyboard.h"
#include "script/record_command.h"
#include "script/responding_board.h"
#include "script/script_files.h"
#include "script/script_interpreter.h"

namespace evm::gui {

namespace {
// 0xFFFFC0 in the grid's blue-green-red order: light cyan.
const QColor kHighlight(0xC0, 0xFF, 0xFF);
}  // namespace

// Forwards to the real user interface, drawing the grid first whenever the
// run lets events through, so a running script shows its progress.
class frmScript::RenderingUi final : public UserInterface {
 public:
  RenderingUi(UserInterface& inner, frmScript& window) : inner_(inner), window_(window) {}
  void MessageBox(const std::string& text, const std::string& title) override {
    window_.Render();
    inner_.MessageBox(text, title);
  }
  UsbProblemChoice UsbProblemDialog() override { return inner_.UsbProblemDialog(); }
  void ShowReminder() override { inner_.ShowReminder(); }
  std::optional<std::string> InputBox(const std::string& p, const std::string& t,
                                      const std::string& d) override {
    return inner_.InputBox(p, t, d);
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& r) override {
    return inner_.OpenFileDialog(r);
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& r) override {
    return inner_.SaveFileDialog(r);
  }
  void Beep() override { inner_.Beep(); }
  void ProcessEvents() override {
    // Drawing after every step would cost more than the step: a run draws
    // at most once per screen frame, and the window draws all when it ends.
    if (!sinceDrawn_.isValid() || sinceDrawn_.elapsed() >= kDrawIntervalMs) {
      window_.Render();
      sinceDrawn_.start();
    }
    inner_.ProcessEvents();
  }

 private:
  static constexpr qint64 kDrawIntervalMs = 20;
  UserInterface& inner_;
  frmScript& window_;
  QElapsedTimer sinceDrawn_;
};

frmScript::frmScript(ScriptBoard& board, UserInterface& ui, NumberLocale locale, QWidget* parent)
    : QWidget(parent, Qt::Window), board_(board), ui_(ui), locale_(locale) {
  setObjectName("frmScript");
  renderingUi_ = std::make_unique<RenderingUi>(ui_, *this);

  MSFlexGrid1 = new QTableWidget(this);
  MSFlexGrid1->setObjectName("MSFlexGrid1");
  MSFlexGrid1->setColumnCount(ScriptGrid::kColumns - 1);
  MSFlexGrid1->setHorizontalHeaderLabels(QStringList(ScriptGrid::kColumns - 1, QString()));
  // The headings stay blank; a tooltip names each column.
  const char* columnNames[] = {"Description", "Step",   "Low limit",
                               "High limit",  "Result", "Verdict"};
  for (int c = 0; c < ScriptGrid::kColumns - 1; ++c) {
    MSFlexGrid1->horizontalHeaderItem(c)->setToolTip(columnNames[c]);
  }
  // Arrow keys move between cells; Tab goes on to the entry box.
  MSFlexGrid1->setTabKeyNavigation(false);
  MSFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  MSFlexGrid1->setSelectionMode(QAbstractItemView::NoSelection);
  MSFlexGrid1->setColumnWidth(0, 140);
  MSFlexGrid1->setColumnWidth(1, 300);
  MSFlexGrid1->setColumnWidth(2, 70);
  MSFlexGrid1->setColumnWidth(3, 70);
  MSFlexGrid1->setColumnWidth(4, 110);
  MSFlexGrid1->setColumnWidth(5, 60);
  // Room gained by enlarging the window goes to the step column.
  MSFlexGrid1->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  MSFlexGrid1->verticalHeader()->setDefaultSectionSize(22);
  // The grid scrolls by whole rows, so the bar's value is the top row.
  MSFlexGrid1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

  Text1 = new QLineEdit(this);
  Text1->setObjectName("Text1");

  auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  Command1 = button("Command1", "Enter");
  Command2 = button("Command2", "Run Script");
  Command3 = button("Command3", "Save Script");
  Command4 = button("Command4", "Load Script");
  Command5 = button("Command5", "Insert Row Above");
  Command6 = button("Command6", "Delete Current Row");
  Command7 = button("Command7", "Single Step");
  Command8 = button("Command8", "Save Results");
  Command9 = button("Command9", "Exit Loop");
  cmdSaveRecord = button("cmdSaveRecord", "Save Record");

  lblVerdicts = new QLabel(this);
  lblVerdicts->setObjectName("lblVerdicts");

  auto* entry = new QHBoxLayout;
  entry->addWidget(Text1, 1);
  entry->addWidget(Command1);
  auto* buttons = new QGridLayout;
  buttons->addWidget(Command2, 0, 0);
  buttons->addWidget(Command7, 0, 1);
  buttons->addWidget(Command9, 0, 2);
  buttons->addWidget(Command5, 1, 0);
  buttons->addWidget(Command6, 1, 1);
  buttons->addWidget(Command3, 2, 0);
  buttons->addWidget(Command4, 2, 1);
  buttons->addWidget(Command8, 2, 2);
  buttons->addWidget(cmdSaveRecord, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MSFlexGrid1, 1);
  layout->addWidget(lblVerdicts);
  layout->addLayout(entry);
  layout->addLayout(buttons);
  resize(860, 560);

  connect(MSFlexGrid1, &QTableWidget::cellClicked, this, [this](int row, int column) {
    CellClicked(row, column);
    Text1->setFocus();
  });
  // The cell reached with the arrow keys is the one the entry box edits.
  connect(MSFlexGrid1, &QTableWidget::currentCellChanged, this,
          [this](int row, int column, int, int) {
            if (row >= 0 && column >= 0) CellClicked(row, column);
          });
  // Scrolling by hand moves the top row, so the next drawing keeps the view
  // where the user put it.
  connect(MSFlexGrid1->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
    if (rendering_) return;
    grid_.TopRow = value + 1;
    shownTopRow_ = grid_.TopRow;
  });
  connect(Text1, &QLineEdit::textEdited, this,
          [this](const QString& text) { grid_.Text1 = text.toStdString(); });
  connect(Text1, &QLineEdit::returnPressed, Command1, &QPushButton::click);
  // Every command that selects a cell hands the entry box the focus, so the
  // next step can be typed at once.
  connect(Command1, &QPushButton::clicked, this, [this] {
    EnterText(grid_);
    Render();
    Text1->setFocus();
  });
  connect(Command5, &QPushButton::clicked, this, [this] {
    InsertRowAbove(grid_);
    Render();
    Text1->setFocus();
  });
  connect(Command6, &QPushButton::clicked, this, [this] {
    DeleteCurrentRow(grid_);
    Render();
  });
  connect(Command3, &QPushButton::clicked, this, [this] {
    SaveScriptCommand(grid_, ui_);
    Render();
  });
  connect(Command4, &QPushButton::clicked, this, [this] {
    LoadScriptCommand(grid_, ui_);
    lblVerdicts->clear();
    RenderAll();
  });
  connect(Command8, &QPushButton::clicked, this, [this] {
    SaveResultsCommand(grid_, ui_);
    Render();
  });
  connect(cmdSaveRecord, &QPushButton::clicked, this, [this] {
    SaveRecordCommand(lastRecord_ ? &*lastRecord_ : nullptr, ui_);
    Text1->setFocus();
  });
  connect(Command2, &QPushButton::clicked, this, [this] {
    if (!HasStepToRun(grid_)) {
      ui_.MessageBox(kNoStepToRunMessage, "");
      Text1->setFocus();
      return;
    }
    SetRunning(true);
    RespondingBoard watched(board_, *renderingUi_, grid_);
    ScriptContext ctx{grid_, watched, *renderingUi_, locale_};
    RunRecorder recorder(*clock_);
    recorder.Start();
    RunScript(ctx, {.stop = nullptr, .onRow = [&recorder](int row) { recorder.RowRan(row); }});
    RunRecord record;
    recorder.Finish(grid_, record);
    DescribeWindowRun(grid_, record);
    // A run the window's closing cut short did not finish.
    if (closeAfterRun_) {
      record.outcome = RunOutcome::Aborted;
      record.error = "the script window was closed";
    }
    lastRecord_ = std::move(record);
    SetRunning(false);
    if (closeAfterRun_) {
      close();
      return;
    }
    const VerdictCount verdicts = CountVerdicts(grid_);
    lblVerdicts->setText(QString::fromStdString(VerdictLine(verdicts.fail == 0, verdicts)));
    Render();
    Text1->setFocus();
  });
  connect(Command7, &QPushButton::clicked, this, [this] {
    SetRunning(true);
    RespondingBoard watched(board_, *renderingUi_, grid_);
    ScriptContext ctx{grid_, watched, *renderingUi_, locale_};
    SingleStep(ctx);
    SetRunning(false);
    Render();
    Text1->setFocus();
  });
  connect(Command9, &QPushButton::clicked, this, [this] { PressExitLoop(grid_); });

  SelectCell(grid_);
  RenderAll();
  MakeToolWindow(this);
}

frmScript::~frmScript() = default;

void frmScript::closeEvent(QCloseEvent* event) {
  if (grid_.Running) {
    // The run works on this window's grid until it returns, so the window
    // may only go then: the run ends with the step in progress, a pause cut.
    PressExitLoop(grid_);
    grid_.EndRun = true;
    closeAfterRun_ = true;
    hide();
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void frmScript::SetRunning(bool running) {
  // While a run lets events through, only Exit Loop may act on the grid.
  for (QPushButton* b : {Command1, Command2, Command3, Command4, Command5, Command6, Command7,
                         Command8, cmdSaveRecord}) {
    b->setEnabled(!running);
  }
  // The grid stays readable; CellClicked ignores it while the run goes on.
}

void frmScript::CellClicked(int row, int column) {
  if (rendering_ || grid_.Running) return;
  grid_.Row_ = row + 1;
  grid_.Col = column + 1;
  SelectCell(grid_);
  Render();
}

void frmScript::Render() {
  Draw(false);
}

void frmScript::RenderAll() {
  Draw(true);
}

void frmScript::Draw(bool everyRow) {
  if (rendering_) return;
  rendering_ = true;
  const ScriptGrid& g = grid_;
  const QString caption = QString::fromStdString(g.Caption);
  if (windowTitle() != caption) setWindowTitle(caption);
  const int rows = g.Rows() - 1;
  const int shownRows = MSFlexGrid1->rowCount();
  const std::vector<int> changed = grid_.TakeChangedRows();
  if (shownRows != rows) {
    MSFlexGrid1->setRowCount(rows);
    if (litRow_ > rows) litRow_ = 0;
  }
  {
    // Every item set tells the table and its headers on its own, which
    // costs more than the item when a script of many rows is drawn: the
    // rows are written quietly and the table told once afterwards.
    QAbstractItemModel* model = MSFlexGrid1->model();
    int first = rows + 1, last = 0;
    int firstLabel = rows + 1, lastLabel = 0;
    const auto draw = [&](int r) {
      if (DrawRow(r)) {
        firstLabel = std::min(firstLabel, r);
        lastLabel = std::max(lastLabel, r);
      }
      first = std::min(first, r);
      last = std::max(last, r);
    };
    {
      const QSignalBlocker quiet(model);
      if (everyRow) {
        for (int r = 1; r <= rows; ++r) draw(r);
      } else {
        for (int r : changed) {
          if (r >= 1 && r <= rows && r <= shownRows) draw(r);
        }
        for (int r = shownRows + 1; r <= rows; ++r) draw(r);
      }
    }
    // A changed label makes the header measure its labels anew.
    if (firstLabel <= lastLabel) {
      emit model->headerDataChanged(Qt::Vertical, firstLabel - 1, lastLabel - 1);
    }
    if (first <= last) {
      emit model->dataChanged(model->index(first - 1, 0),
                              model->index(last - 1, model->columnCount() - 1));
    }
  }
  if (litRow_ != g.HighlightRow || litCol_ != g.HighlightCol) {
    PaintHighlight(litRow_, litCol_, false);
    litRow_ = g.HighlightRow;
    litCol_ = g.HighlightCol;
    PaintHighlight(litRow_, litCol_, true);
  }
  if (shownTopRow_ != g.TopRow) {
    // Rows just added reach the bar's range only at the table's next
    // layout; until then the next drawing tries again.
    QScrollBar* bar = MSFlexGrid1->verticalScrollBar();
    bar->setValue(std::max(0, g.TopRow - 1));
    if (bar->value() == std::max(0, g.TopRow - 1)) shownTopRow_ = g.TopRow;
  }
  if (Text1->text().toStdString() != g.Text1) Text1->setText(QString::fromStdString(g.Text1));
  rendering_ = false;
}

bool frmScript::DrawRow(int row) {
  const ScriptGrid& g = grid_;
  // A header item made with its text: changing the text of one in place
  // makes the table search all its header items.
  const QString number = QString::fromStdString(g.Cell(row, 0));
  const QTableWidgetItem* header = MSFlexGrid1->verticalHeaderItem(row - 1);
  const bool relabelled = !header || header->text() != number;
  if (relabelled) MSFlexGrid1->setVerticalHeaderItem(row - 1, new QTableWidgetItem(number));
  for (int c = 1; c < ScriptGrid::kColumns; ++c) {
    const std::string& text = g.Cell(row, c);
    QTableWidgetItem* item = MSFlexGrid1->item(row - 1, c - 1);
    // Empty cells have no item until they are written or lit, so a long
    // script loads without one item per blank cell.
    if (!item && text.empty()) continue;
    const QString shown = QString::fromStdString(text);
    if (!item) {
      MSFlexGrid1->setItem(row - 1, c - 1, new QTableWidgetItem(shown));
    } else if (item->text() != shown) {
      item->setText(shown);
    }
  }
  return relabelled;
}

void frmScript::PaintHighlight(int row, int col, bool lit) {
  if (row < 1 || row > MSFlexGrid1->rowCount() || col < 1 || col >= ScriptGrid::kColumns) return;
  QTableWidgetItem* item = MSFlexGrid1->item(row - 1, col - 1);
  if (!item) {
    if (!lit) return;
    item = new QTableWidgetItem(QString::fromStdString(std::as_const(grid_).Cell(row, col)));
    MSFlexGrid1->setItem(row - 1, col - 1, item);
  }
  item->setBackground(lit ? QBrush(kHighlight) : QBrush());
}

}  // namespace evm::gui
