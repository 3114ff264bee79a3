// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/registers/register_views.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "acquisition/continuous_read.h"
#include "calibration/initial_calibration.h"
#include "calibration/register_file.h"
#include "gui/registers/frm_help_with_reg.h"
#include "gui/shell/form_main.h"
#include "gui/shell/keyboard.h"
#include "gui/shell/screen_fit.h"
#include "registers/register_cycle.h"
#include "registers/register_display.h"

namespace evm::gui {

namespace {

constexpr const char* kNoBoardText = "No board: Run Without USB (USB Controls, Try USB Again)";

// The register grid wants its columns at their full widths; on a narrow
// screen only the Name column gives way, so the bit map beside it stays in
// view.
class RegisterGrid final : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  QSize sizeHint() const override { return QSize(fullWidth, QTableWidget::sizeHint().height()); }
  int fullWidth = 0;
};

// Window-system colours carry red in the low byte.
QColor FromRgbValue(uint32_t value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QLabel* Caption(QWidget* parent, const QString& text) {
  return new QLabel(text, parent);
}

// Setting an unchanged text would still move the cursor and drop a selection.
void SetTextIfChanged(QLineEdit* box, const QString& text) {
  if (box->text() != text) box->setText(text);
}

// A formula drawn as a fraction: result = numerator over denominator.
QWidget* Formula(QWidget* parent, const char* result, const char* numerator1,
                 const char* numerator2, const char* denominator) {
  auto* w = new QWidget(parent);
  auto* grid = new QGridLayout(w);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(1);
  grid->addWidget(new QLabel(result, w), 0, 0, 3, 1, Qt::AlignVCenter);
  grid->addWidget(new QLabel("=", w), 0, 1, 3, 1, Qt::AlignVCenter);
  grid->addWidget(new QLabel(QString(numerator1) + numerator2, w), 0, 2, Qt::AlignHCenter);
  auto* line = new QFrame(w);
  line->setFrameShape(QFrame::HLine);
  grid->addWidget(line, 1, 2);
  grid->addWidget(new QLabel(denominator, w), 2, 2, Qt::AlignHCenter);
  grid->setColumnStretch(3, 1);
  return w;
}

}  // namespace

RegisterViews::RegisterViews(Evm& evm, MainPanels& panels, formMain_QMA740& form)
    : QObject(&form), evm_(evm), panels_(panels), form_(form) {
  BuildOverview();
  BuildAdConfig();
  BuildCalibrate();
  BuildScaling();
  BuildRegisters();
  helpWithReg = new frmHelpWithReg(&form);
  helpWithReg->hide();

  form.mnuEngineeringMode->setEnabled(true);
  form.mnuSaveReg->setEnabled(true);
  form.mnuLoadReg->setEnabled(true);
  form.mnuLogToFile->setEnabled(true);
  form.mnuLogToFile->setCheckable(true);
  connect(form.mnuSaveReg, &QAction::triggered, this,
          [this] { Act([this] { mnuSaveReg_Click(evm_); }); });
  connect(form.mnuLoadReg, &QAction::triggered, this,
          [this] { Act([this] { mnuLoadReg_Click(evm_, panels_); }); });
  connect(form.mnuLogToFile, &QAction::triggered, this,
          [this] { Act([this] { mnuLogToFile_Click(evm_); }); });
  evm.measurement().onPass = [this] { form_.RenderPanels(); };
  panels.registerPanel.onBoxRestored = [this] {
    SetTextIfChanged(txtReg, Q(panels_.registerPanel.txtReg));
  };
  connect(form.mnuEngineeringMode, &QAction::triggered, this,
          [this] { Act([this] { mnuEngineeringMode_Click(evm_, panels_); }); });

  // The frequent actions from anywhere in the main window, through the
  // menu items that show their keys.
  const std::pair<QAction*, std::vector<QPushButton*>*> keys[] = {
      {form.mnuReadAll, &Command8},
      {form.mnuStartRead, &cmdStartContinuousRead},
      {form.mnuStopRead, &cmdStopContinuousRead}};
  for (const auto& [action, buttons] : keys) {
    QPushButton* first = buttons->front();
    connect(action, &QAction::triggered, first, &QPushButton::click);
    const QString key = action->shortcut().toString(QKeySequence::NativeText);
    for (QPushButton* b : *buttons) b->setToolTip(b->text().trimmed() + " (" + key + ")");
  }
}

RegisterViews::~RegisterViews() {
  // The context may outlive the window; its reading loop must not draw here.
  evm_.measurement().onPass = nullptr;
  panels_.registerPanel.onBoxRestored = nullptr;
}

template <typename Handler>
void RegisterViews::Act(Handler handler) {
  if (rendering_) return;
  handler();
  form_.RenderPanels();
}

QLineEdit* RegisterViews::ValueBox(QWidget* parent, const QString& name, int width) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(true);
  box->setFixedWidth(width);
  NoTabStop(box);
  return box;
}

void RegisterViews::AddReadWriteButtons(QWidget* parent, QBoxLayout* layout,
                                        const char* writeCaption, bool continuous) {
  auto* read = new QPushButton("Read All Reg", parent);
  read->setObjectName("Command8");
  auto* write = new QPushButton(writeCaption, parent);
  write->setObjectName("Command9");
  connect(read, &QPushButton::clicked, this, [this] {
    const BusyCursor busy;
    Act([this] { ReadAllRegs(evm_, panels_); });
  });
  connect(write, &QPushButton::clicked, this, [this] {
    const BusyCursor busy;
    Act([this] { WriteAllEdited(evm_, panels_); });
  });
  Command8.push_back(read);
  Command9.push_back(write);
  layout->addWidget(read);
  layout->addWidget(write);
  if (continuous) {
    auto* start = new QPushButton("Start Continuous Read", parent);
    start->setObjectName("cmdStartContinuousRead");
    auto* stop = new QPushButton("Stop Continuous Read", parent);
    stop->setObjectName("cmdStopContinuousRead");
    connect(start, &QPushButton::clicked, this,
            [this] { Act([this] { cmdStartContinuousRead_Click(evm_, panels_); }); });
    connect(stop, &QPushButton::clicked, this,
            [this] { Act([this] { cmdStopContinuousRead_Click(evm_); }); });
    cmdStartContinuousRead.push_back(start);
    cmdStopContinuousRead.push_back(stop);
    layout->addWidget(start);
    layout->addWidget(stop);
  }
}

QComboBox* RegisterViews::AddList(QWidget* parent, const char* name, ConfigList list,
                                  const auto& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const char* item : items) box->addItem(item);
  box->setCurrentIndex(-1);
  connect(box, &QComboBox::activated, this, [this, list](int position) {
    Act([this, list, position] { ConfigListChosen(evm_, panels_, list, position); });
  });
  return box;
}

void RegisterViews::BuildOverview() {
  QGroupBox* frame = form_.Frame7;
  auto* grid = new QGridLayout(frame);
  auto* buttons = new QVBoxLayout();
  AddReadWriteButtons(frame, buttons, "Write All Edited ", true);
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 0, 6, 1);

  txtAddress = ValueBox(frame, "txtAddress", 50);
  grid->addWidget(Caption(frame, "I2C Address (Hex)"), 0, 1);
  grid->addWidget(txtAddress, 0, 2);
  cmbA0 = AddList(frame, "cmbA0", ConfigList::A0, kAddressPinItems);
  cmbA1 = AddList(frame, "cmbA1", ConfigList::A1, kAddressPinItems);
  grid->addWidget(Caption(frame, "A0"), 1, 1);
  grid->addWidget(cmbA0, 1, 2);
  grid->addWidget(Caption(frame, "A1"), 2, 1);
  grid->addWidget(cmbA1, 2, 2);

  struct Reading {
    const char* caption;
    const char* name;
    int index;
    std::vector<std::pair<int, QLineEdit*>>* boxes;
    const char* unit;
  };
  const Reading readings[] = {
      {"Shunt Voltage", "txtShunt_0", 0, &txtShunt, "V"},
      {"Bus Voltage", "txtVbus_0", 0, &txtVbus, "V"},
  };
  int row = 0;
  for (const Reading& r : readings) {
    QLineEdit* box = ValueBox(frame, r.name);
    r.boxes->emplace_back(r.index, box);
    grid->addWidget(Caption(frame, r.caption), row, 3);
    grid->addWidget(box, row, 4);
    grid->addWidget(Caption(frame, r.unit), row, 5);
    ++row;
  }
  grid->setColumnStretch(6, 1);
  grid->setRowStretch(5, 1);
}

void RegisterViews::BuildAdConfig() {
  QGroupBox* frame = form_.Frame9;
  auto* layout = new QVBoxLayout(frame);
  auto* grid = new QGridLayout();
  layout->addLayout(grid);
  cmbShuntGain = AddList(frame, "cmbShuntGain", ConfigList::ShuntGain, kShuntGainItems);
  cmbBusGain = AddList(frame, "cmbBusGain", ConfigList::BusGain, kBusGainItems);
  cmbShuntResolution =
      AddList(frame, "cmbShuntResolution", ConfigList::ShuntResolution, kResolutionItems);
  cmbBusResolution =
      AddList(frame, "cmbBusResolution", ConfigList::BusResolution, kResolutionItems);
  cmbCnvMode = AddList(frame, "cmbCnvMode", ConfigList::CnvMode, kCnvModeItems);
  const std::pair<const char*, QComboBox*> lists[] = {
      {"Shunt Voltage Attenuator", cmbShuntGain},
      {"Bus Voltage Attenuator", cmbBusGain},
      {"Shunt A/D Configuration", cmbShuntResolution},
      {"Bus A/D Configuration", cmbBusResolution},
      {"A/D Converter Mode", cmbCnvMode},
  };
  int row = 0;
  for (const auto& [caption, list] : lists) {
    list->setMinimumWidth(240);
    grid->addWidget(Caption(frame, caption), row, 0);
    grid->addWidget(list, row, 1);
    ++row;
  }
  grid->setColumnStretch(2, 1);
  auto* buttons = new QHBoxLayout();
  layout->addSpacing(12);
  layout->addLayout(buttons);
  AddReadWriteButtons(frame, buttons, "Write All Edited ", true);
  buttons->addStretch(1);
}

void RegisterViews::BuildCalibrate() {
  auto* tab = qobject_cast<QBoxLayout*>(form_.tabCalibrate->layout());
  auto* buttons = new QHBoxLayout();
  tab->addLayout(buttons);
  AddReadWriteButtons(form_.tabCalibrate, buttons, "Write all Edited ", false);
  buttons->addStretch(1);
}

void RegisterViews::BuildScaling() {
  QGroupBox* frame = form_.Frame10;
  auto* layout = new QVBoxLayout(frame);
  auto* grid = new QGridLayout();
  layout->addLayout(grid);
  struct Row {
    const char* caption;
    const char* scaledName;
    std::vector<std::pair<int, QLineEdit*>>* scaledBoxes;
    const char* unit;
    const char* decimalName;
  };
  const Row rows[] = {
      {"Shunt Voltage", "txtShunt_1", &txtShunt, "V", "txtShunt_5"},
      {"Bus Voltage", "txtVbus_1", &txtVbus, "V", "txtVbus_6"},
      {"Power", "txtPower_0", &txtPower, "W", "txtPower_3"},
      {"Current", "cmd_I_shunt", nullptr, "A", "txtCurrent2"},
      {"Calibration Reg", nullptr, nullptr, nullptr, "txtFSC"},
  };
  int r = 0;
  for (const Row& row : rows) {
    grid->addWidget(Caption(frame, row.caption), r, 0);
    if (row.scaledName) {
      QLineEdit* box = ValueBox(frame, row.scaledName);
      const QString scaledName = row.scaledName;
      if (row.scaledBoxes) {
        row.scaledBoxes->emplace_back(scaledName.endsWith("_0") ? 0 : 1, box);
      } else {
        cmd_I_shunt = box;
      }
      grid->addWidget(box, r, 1);
      grid->addWidget(Caption(frame, row.unit), r, 2);
    }
    QLineEdit* dec = ValueBox(frame, row.decimalName, 80);
    grid->addWidget(dec, r, 3);
    grid->addWidget(Caption(frame, "dec"), r, 4);
    const QString name = row.decimalName;
    if (name == "txtShunt_5") txtShunt.emplace_back(5, dec);
    if (name == "txtVbus_6") txtVbus.emplace_back(6, dec);
    if (name == "txtPower_3") txtPower.emplace_back(3, dec);
    if (name == "txtCurrent2") txtCurrent2 = dec;
    if (name == "txtFSC") txtFSC = dec;
    ++r;
  }
  grid->setColumnStretch(5, 1);

  auto* note = new QLabel(
      "Note: The decimal equivalent of the binary value in the registers is used for in the "
      "mathematics shown.  Displays in this format are given the units of \"dec\".",
      frame);
  note->setObjectName("lblScalingNote");
  note->setWordWrap(true);
  layout->addSpacing(8);
  layout->addWidget(note);
  layout->addSpacing(8);
  layout->addWidget(Formula(frame, "Power", "Current", " x Bus Voltage", "40000"));
  layout->addSpacing(8);
  layout->addWidget(Formula(frame, "Current", "Shunt Voltage", " x Calibration Reg", "4096"));
  layout->addStretch(1);
}

void RegisterViews::BuildRegisters() {
  QGroupBox* gridFrame = form_.Frame1;
  auto* gridLayout = new QVBoxLayout(gridFrame);
  auto* grid = new RegisterGrid(gridFrame);
  gridReg = grid;
  gridReg->setObjectName("gridReg");
  gridReg->setColumnCount(GridModel::kCols);
  gridReg->horizontalHeader()->hide();
  gridReg->verticalHeader()->hide();
  gridReg->setSelectionMode(QAbstractItemView::NoSelection);
  gridReg->setEditTriggers(QAbstractItemView::NoEditTriggers);
  gridReg->verticalHeader()->setDefaultSectionSize(gridReg->fontMetrics().height() + 6);
  // The padded header texts set the columns' proportions; one width per
  // character for all of them, wide enough for the longest text any column
  // shows (a blank at least).
  const QFontMetrics metrics(gridReg->font());
  const char* widest[] = {"Addr", " ***  Trim control/test  *** ", "0x0000", "0000_0000_0000_0000",
                          "-0.000123456789012"};
  double perChar = metrics.horizontalAdvance(' ');
  for (int c = 0; c < GridModel::kCols; ++c) {
    const int chars = GridModel::kColumnChars[static_cast<size_t>(c)];
    perChar = std::max(perChar, (metrics.horizontalAdvance(widest[c]) + 8.0) / chars);
  }
  int total = 0;
  for (int c = 0; c < GridModel::kCols; ++c) {
    const int width =
        static_cast<int>(std::ceil(GridModel::kColumnChars[static_cast<size_t>(c)] * perChar));
    gridReg->setColumnWidth(c, width);
    total += width;
  }
  const int chrome = 2 * gridReg->frameWidth() + 4;
  grid->fullWidth = total + chrome;
  // Narrowed, the Name column still shows the chip's register names whole.
  const int nameWidth = gridReg->columnWidth(1);
  const int nameLeast = metrics.horizontalAdvance(" Current / PGA ") + 8;
  gridReg->setMinimumWidth(total - nameWidth + std::min(nameWidth, nameLeast) + chrome);
  gridReg->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Arrow keys move between rows; Tab goes on to the bit map.
  gridReg->setTabKeyNavigation(false);
  gridReg->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  gridLayout->addWidget(gridReg);
  connect(gridReg, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
    Act([this, row, col] { gridReg_RowColChange(evm_, panels_, row, col); });
  });
  connect(gridReg, &QTableWidget::cellClicked, this,
          [this](int, int) { Act([this] { gridReg_Click(evm_, panels_); }); });

  QGroupBox* bitFrame = form_.Frame2;
  auto* bitLayout = new QVBoxLayout(bitFrame);
  auto* bits = new QGridLayout();
  bits->setHorizontalSpacing(2);
  bitLayout->addLayout(bits);
  QFont small = bitFrame->font();
  small.setPointSizeF(small.pointSizeF() * 0.8);
  for (int k = 15; k >= 0; --k) {
    const int row = k >= 8 ? 0 : 2;
    const int col = k >= 8 ? 15 - k : 7 - k;
    auto* label = new QLabel(bitFrame);
    label->setObjectName(QString("lblBit_%1").arg(k));
    label->setFont(small);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    label->setMinimumWidth(42);
    label->setContentsMargins(0, 0, 0, 3);  // room below the baseline for "_"
    auto* box = new QLineEdit("0", bitFrame);
    box->setObjectName(QString("txtBit_%1").arg(k));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(28);
    box->setCursor(Qt::PointingHandCursor);
    box->installEventFilter(this);
    bits->addWidget(label, row, col, Qt::AlignHCenter);
    bits->addWidget(box, row + 1, col, Qt::AlignHCenter);
    lblBit[static_cast<size_t>(k)] = label;
    txtBit[static_cast<size_t>(k)] = box;
  }

  auto* entry = new QHBoxLayout();
  bitLayout->addSpacing(8);
  bitLayout->addLayout(entry);
  txtReg = new QLineEdit("FFFF", bitFrame);
  txtReg->setObjectName("txtReg");
  txtReg->setAlignment(Qt::AlignCenter);
  txtReg->setFixedWidth(70);
  connect(txtReg, &QLineEdit::editingFinished, this, [this] {
    // A message box taking the focus must not validate the text twice.
    if (validating_) return;
    validating_ = true;
    const std::string text = txtReg->text().toStdString();
    Act([this, &text] { txtReg_Validate(evm_, panels_, text); });
    validating_ = false;
  });
  updwnReg = new QWidget(bitFrame);
  updwnReg->setObjectName("updwnReg");
  auto* arrows = new QVBoxLayout(updwnReg);
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  updwnRegUp = new QToolButton(updwnReg);
  updwnRegUp->setObjectName("updwnRegUp");
  updwnRegUp->setArrowType(Qt::UpArrow);
  updwnRegUp->setAutoRepeat(true);
  updwnRegDown = new QToolButton(updwnReg);
  updwnRegDown->setObjectName("updwnRegDown");
  updwnRegDown->setArrowType(Qt::DownArrow);
  updwnRegDown->setAutoRepeat(true);
  for (QToolButton* b : {updwnRegUp, updwnRegDown}) b->setFixedSize(20, 13);
  arrows->addWidget(updwnRegUp);
  arrows->addWidget(updwnRegDown);
  connect(updwnRegUp, &QToolButton::clicked, this,
          [this] { Act([this] { updwnReg_UpClick(evm_, panels_); }); });
  connect(updwnRegDown, &QToolButton::clicked, this,
          [this] { Act([this] { updwnReg_DownClick(evm_, panels_); }); });
  txtCurrent_Decmal = new QLineEdit(bitFrame);
  txtCurrent_Decmal->setObjectName("txtCurrent_Decmal");
  txtCurrent_Decmal->setAlignment(Qt::AlignCenter);
  txtCurrent_Decmal->setFixedWidth(110);
  connect(txtCurrent_Decmal, &QLineEdit::editingFinished, this, [this] {
    const std::string text = txtCurrent_Decmal->text().toStdString();
    Act([this, &text] { txtCurrent_Decmal_LostFocus(evm_, panels_, text); });
  });
  entry->addWidget(Caption(bitFrame, "Hex"));
  entry->addWidget(txtReg);
  entry->addWidget(updwnReg);
  entry->addSpacing(16);
  entry->addWidget(Caption(bitFrame, "Value"));
  entry->addWidget(txtCurrent_Decmal);
  entry->addStretch(1);

  Command1 = new QPushButton("Help With Current Reg", bitFrame);
  Command1->setObjectName("Command1");
  connect(Command1, &QPushButton::clicked, this, [this] { ShowOnScreen(helpWithReg); });
  bitLayout->addSpacing(8);
  bitLayout->addWidget(Command1, 0, Qt::AlignLeft);
  bitLayout->addStretch(1);

  auto* tab = qobject_cast<QBoxLayout*>(form_.tabRegisters->layout());
  auto* buttons = new QHBoxLayout();
  tab->addLayout(buttons);
  Command31 = new QPushButton("Write Current Reg", form_.tabRegisters);
  Command31->setObjectName("Command31");
  connect(Command31, &QPushButton::clicked, this, [this] {
    const BusyCursor busy;
    Act([this] { WriteCurrentReg(evm_, panels_); });
  });
  buttons->addWidget(Command31);
  AddReadWriteButtons(form_.tabRegisters, buttons, "Write all Edited ", true);
  buttons->addStretch(1);
}

bool RegisterViews::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  // A click or Space on the focused box toggles its bit.
  const bool space = type == QEvent::KeyPress &&
                     static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space &&
                     static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier;
  if (space || ((type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick) &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)) {
    for (int k = 0; k < 16; ++k) {
      if (watched != txtBit[static_cast<size_t>(k)]) continue;
      // A double-click is one click: its first release toggled the bit, and
      // the release that ends it must not toggle it back.
      if (type == QEvent::MouseButtonDblClick) {
        afterDoubleClick_ = true;
      } else if (afterDoubleClick_) {
        afterDoubleClick_ = false;
      } else {
        Act([this, k] { txtBit_Click(evm_, panels_, k); });
      }
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

void RegisterViews::RenderGrid() {
  const GridModel& model = panels_.registerPanel.gridReg;
  if (gridReg->rowCount() != model.Rows()) gridReg->setRowCount(model.Rows());
  const QColor fixedBack = gridReg->palette().color(QPalette::Button);
  const QColor base = gridReg->palette().color(QPalette::Base);
  const QColor text = gridReg->palette().color(QPalette::Text);
  for (int r = 0; r < model.Rows(); ++r) {
    for (int c = 0; c < GridModel::kCols; ++c) {
      QTableWidgetItem* item = gridReg->item(r, c);
      if (!item) {
        item = new QTableWidgetItem();
        item->setFlags(Qt::ItemIsEnabled);
        gridReg->setItem(r, c, item);
      }
      const QString cell = Q(model.Text(r, c));
      if (item->text() != cell) item->setText(cell);
      const bool fixed = r == 0 || c == 0;
      const bool centred = r == 0 ? c > 0 : c >= 2;
      item->setTextAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
      const uint32_t back = model.Back(r, c);
      const uint32_t fore = model.Fore(r, c);
      item->setBackground(fixed ? fixedBack : back == kDefaultColour ? base : FromRgbValue(back));
      item->setForeground(fore == kDefaultColour ? text : FromRgbValue(fore));
    }
  }
  if (gridReg->currentRow() != model.Row || gridReg->currentColumn() != model.Col) {
    gridReg->setCurrentCell(model.Row, model.Col);
  }
}

void RegisterViews::Render() {
  const bool wasRendering = rendering_;
  rendering_ = true;
  const RegisterPanel& panel = panels_.registerPanel;
  RenderGrid();

  for (size_t k = 0; k < 16; ++k) {
    SetTextIfChanged(txtBit[k], Q(panel.txtBit[k]));
    lblBit[k]->setText(Q(panel.lblBit[k]));
  }
  SetTextIfChanged(txtReg, Q(panel.txtReg));
  SetTextIfChanged(txtCurrent_Decmal, Q(panel.txtCurrent_Decmal));
  QPalette look = form_.palette();
  if (panel.bitMapReadOnly) look.setColor(QPalette::Base, FromRgbValue(kReadOnlyColour));
  std::vector<QLineEdit*> bitMapBoxes(txtBit.begin(), txtBit.end());
  bitMapBoxes.push_back(txtReg);
  bitMapBoxes.push_back(txtCurrent_Decmal);
  for (QLineEdit* box : bitMapBoxes) {
    // A box without its frame is lower; the rows below must not hop up and
    // down as registers are selected.
    if (box->minimumHeight() == 0) box->setFixedHeight(box->sizeHint().height());
    box->setFrame(!panel.bitMapReadOnly);
    box->setPalette(look);
    box->setAutoFillBackground(panel.bitMapReadOnly);
  }
  if (txtReg->isEnabled()) txtReg->selectAll();
  helpWithReg->lblLegend->setText(Q(panel.lblLegend));

  // Without a board the band says so, and how to look for one again.
  const bool noBoard = evm_.shell().RunWithoutUsb;
  form_.txtDutNotAck->setText(noBoard ? QString(kNoBoardText) : QString(kDutNotAckText));
  form_.txtDutNotAck->setVisible(noBoard || panel.txtDutNotAckVisible);
  form_.mnuEngineeringMode->setChecked(panel.mnuEngineeringMode);
  form_.mnuLogToFile->setChecked(evm_.measurement().mnuLogToFile);
  const uint32_t colour = StartButtonColour(evm_.measurement());
  for (size_t i = 0; i < cmdStartContinuousRead.size(); ++i) {
    cmdStartContinuousRead[i]->setStyleSheet(
        colour == kButtonFace
            ? QString()
            : QString("QPushButton { background-color: %1; }").arg(FromRgbValue(colour).name()));
  }

  // Without a board a reading box is empty and says so: a 0 there would
  // look like a measurement.
  const auto reading = [noBoard](QLineEdit* box, const std::string& text) {
    box->setPlaceholderText(noBoard ? QString("no board") : QString());
    box->setText(noBoard ? QString() : Q(text));
  };
  for (auto& [index, box] : txtShunt) reading(box, panel.txtShunt[static_cast<size_t>(index)]);
  for (auto& [index, box] : txtVbus) reading(box, panel.txtVbus[static_cast<size_t>(index)]);
  for (auto& [index, box] : txtPower) reading(box, panel.txtPower[static_cast<size_t>(index)]);
  reading(cmd_I_shunt, panel.cmd_I_shunt);
  reading(txtCurrent2, panel.txtCurrent2);
  txtFSC->setText(Q(panel.txtFSC));

  const std::pair<QComboBox*, int> lists[] = {
      {cmbShuntGain, panel.cmbShuntGain},
      {cmbBusGain, panel.cmbBusGain},
      {cmbShuntResolution, panel.cmbShuntResolution},
      {cmbBusResolution, panel.cmbBusResolution},
      {cmbCnvMode, panel.cmbCnvMode},
      {cmbA0, panel.cmbA0},
      {cmbA1, panel.cmbA1},
  };
  for (const auto& [list, position] : lists) {
    if (list->currentIndex() != position) list->setCurrentIndex(position);
  }
  txtAddress->setText(Q(panel.txtAddress));
  rendering_ = wasRendering;
}

}  // namespace evm::gui
