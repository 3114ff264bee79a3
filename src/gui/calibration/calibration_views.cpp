// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/calibration/calibration_views.h"

#include <QBoxLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "calibration/initial_calibration.h"
#include "calibration/second_calibration.h"
#include "gui/shell/form_main.h"
#include "gui/shell/keyboard.h"
#include "registers/register_panel.h"

namespace evm::gui {

CalibrationViews::CalibrationViews(Evm& evm, MainPanels& panels, formMain_QMA740& form)
    : QObject(&form), evm_(evm), panels_(panels), form_(form) {
  BuildInitial();
  BuildSecond();
  // Each box is followed by the button that applies it, and Return in the box
  // presses that button.
  const std::pair<QLineEdit*, QPushButton*> applied[] = {
      {txtRshunt, cmdEnterShuntR},
      {txtMaxExpectedCurrent, cmdEnterMaxExpCur},
      {txtSelectedCurrentLSB, cmdEnterCurrentLSB},
  };
  for (size_t i = 0; i < std::size(applied); ++i) {
    QWidget::setTabOrder(applied[i].first, applied[i].second);
    if (i + 1 < std::size(applied)) QWidget::setTabOrder(applied[i].second, applied[i + 1].first);
    ReturnPresses(applied[i].first, applied[i].second);
  }
  // The measured current is what the second calibration computes with.
  ReturnPresses(txtMeasShuntCurrent, cmdSecondCal);
  QWidget::setTabOrder(txtMeasShuntCurrent, cmdReadInitCalCurrent);
  QWidget::setTabOrder(cmdReadInitCalCurrent, cmdSecondCal);
  // The register buttons below the frames were made first, with the
  // register views; the tab's work starts at Rshunt.
  QWidget* tab = form_.tabCalibrate;
  TabLast(tab, {tab->findChild<QPushButton*>("Command8", Qt::FindDirectChildrenOnly),
                tab->findChild<QPushButton*>("Command9", Qt::FindDirectChildrenOnly)});
}

QLineEdit* CalibrationViews::Input(QWidget* parent, const char* name,
                                   std::string CalibrationPanel::*text) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  box->setFixedWidth(110);
  // The panel holds what the box shows; the handlers read it from there.
  connect(box, &QLineEdit::textEdited, this,
          [this, text](const QString& typed) { panels_.calibration.*text = typed.toStdString(); });
  boxes_.emplace_back(box, text);
  return box;
}

QLineEdit* CalibrationViews::Output(QWidget* parent, const char* name,
                                    std::string CalibrationPanel::*text) {
  QLineEdit* box = Input(parent, name, text);
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::NoFocus);
  QPalette grey = box->palette();
  grey.setColor(QPalette::Base, QColor(0xE0, 0xE0, 0xE0));
  box->setPalette(grey);
  return box;
}

QPushButton* CalibrationViews::Button(QWidget* parent, const char* name, const char* caption,
                                      void (*handler)(Evm&, MainPanels&)) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  connect(button, &QPushButton::clicked, this, [this, handler] {
    if (rendering_) return;
    const BusyCursor busy;
    handler(evm_, panels_);
    form_.RenderPanels();
  });
  return button;
}

namespace {

void EnterShuntR(Evm& evm, MainPanels& panels) {
  cmdEnterShuntR_Click(evm, panels);
}
void EnterMaxExpCur(Evm& evm, MainPanels& panels) {
  cmdEnterMaxExpCur_Click(evm, panels);
}
void EnterCurrentLsb(Evm& evm, MainPanels& panels) {
  cmdEnterCurrentLSB_Click(evm, panels);
}
void SecondCal(Evm& evm, MainPanels& panels) {
  cmdSecondCal_Click(evm, panels);
}

QLabel* Text(QWidget* parent, const char* text) {
  return new QLabel(text, parent);
}

// A caption on one line where there is room, on two where the tab would
// otherwise reach past a small screen's edge.
class WrappingCaption final : public QLabel {
 public:
  WrappingCaption(const char* text, QWidget* parent) : QLabel(text, parent) { setWordWrap(true); }
  QSize sizeHint() const override {
    const QSize wrapped = QLabel::sizeHint();
    const int oneLine = fontMetrics().horizontalAdvance(text()) + 2 * margin() + 2;
    return {std::max(wrapped.width(), oneLine), wrapped.height()};
  }
};

}  // namespace

void CalibrationViews::BuildInitial() {
  QGroupBox* frame = form_.Frame3;
  auto* grid = new QGridLayout(frame);
  grid->setVerticalSpacing(4);
  using P = CalibrationPanel;
  txtRshunt = Input(frame, "txtRshunt", &P::txtRshunt);
  txtMaxShunt = Output(frame, "txtMaxShunt", &P::txtMaxShunt);
  txtMaxBus = Output(frame, "txtMaxBus", &P::txtMaxBus);
  txtMaxPosCur = Output(frame, "txtMaxPosCur", &P::txtMaxPosCur);
  txtMaxExpectedCurrent = Input(frame, "txtMaxExpectedCurrent", &P::txtMaxExpectedCurrent);
  txtMinLSB = Output(frame, "txtMinLSB", &P::txtMinLSB);
  txtMaxLSB = Output(frame, "txtMaxLSB", &P::txtMaxLSB);
  txtSelectedCurrentLSB = Input(frame, "txtSelectedCurrentLSB", &P::txtSelectedCurrentLSB);
  txtFSC_Hex = Output(frame, "txtFSC_Hex", &P::txtFSC_Hex);
  txtFSC_Dec = Output(frame, "txtFSC_Dec", &P::txtFSC_Dec);
  txtPowerLSB = Output(frame, "txtPowerLSB", &P::txtPowerLSB);
  txtMaxI = Output(frame, "txtMaxI", &P::txtMaxI);
  txtMaxI_Hex = Output(frame, "txtMaxI_Hex", &P::txtMaxI_Hex);
  txtMaxShunt_NoOverflow = Output(frame, "txtMaxShunt_NoOverflow", &P::txtMaxShunt_NoOverflow);
  txtMaxPower = Output(frame, "txtMaxPower", &P::txtMaxPower);
  Label91 = new QLabel(frame);
  Label91->setObjectName("Label91");
  cmdEnterShuntR = Button(frame, "cmdEnterShuntR", "Enter Shunt Resistance", EnterShuntR);
  cmdEnterMaxExpCur =
      Button(frame, "cmdEnterMaxExpCur", "Enter Max Expected Current", EnterMaxExpCur);
  cmdEnterCurrentLSB = Button(frame, "cmdEnterCurrentLSB", "Enter Current LSB", EnterCurrentLsb);

  struct Row {
    const char* caption;
    QLineEdit* box;
    const char* unit;
    QWidget* extra;
    const char* extraUnit;
  };
  const Row rows[] = {
      {"Rshunt", txtRshunt, "Ohms", cmdEnterShuntR, nullptr},
      {"Max Shunt Voltage", txtMaxShunt, "V", nullptr, nullptr},
      {"Max Bus Voltage", txtMaxBus, "V", nullptr, nullptr},
      {"Max Possible Current +/-", txtMaxPosCur, "A", nullptr, nullptr},
      {"Max Expected Current +/-", txtMaxExpectedCurrent, "A", cmdEnterMaxExpCur, nullptr},
      {"Min Current LSB  (15 bit Resolution)", txtMinLSB, "A/bit", nullptr, nullptr},
      {"Max Current LSB (12 bit Resolution)", txtMaxLSB, "A/bit", nullptr, nullptr},
      {"Enter LSB", txtSelectedCurrentLSB, "A/bit", cmdEnterCurrentLSB, nullptr},
      {"Calibration Reg", txtFSC_Hex, "Hex", txtFSC_Dec, "Int"},
      {"Power LSB", txtPowerLSB, "W/bit", nullptr, nullptr},
      {"Max Current Before Overflow", txtMaxI, "A", txtMaxI_Hex, "hex"},
      {"Max Shunt Voltage Before Current Overflow", txtMaxShunt_NoOverflow, "V", Label91, nullptr},
      {"Max Power", txtMaxPower, "W", nullptr, nullptr},
  };
  int r = 0;
  for (const Row& row : rows) {
    // A long caption takes a second line rather than push the tab past a
    // small screen's edge.
    grid->addWidget(new WrappingCaption(row.caption, frame), r, 0);
    grid->addWidget(row.box, r, 1);
    grid->addWidget(Text(frame, row.unit), r, 2);
    if (row.extraUnit) {
      // The unit belongs beside its box, not beyond the widest button above.
      auto* pair = new QHBoxLayout();
      pair->setSpacing(grid->horizontalSpacing());
      pair->addWidget(row.extra);
      pair->addWidget(Text(frame, row.extraUnit));
      pair->addStretch(1);
      grid->addLayout(pair, r, 3);
    } else if (row.extra) {
      grid->addWidget(row.extra, r, 3);
    }
    ++r;
  }
  grid->setColumnStretch(4, 1);
  grid->setRowStretch(r, 1);
}

void CalibrationViews::BuildSecond() {
  QGroupBox* frame = form_.Frame13;
  auto* grid = new QGridLayout(frame);
  using P = CalibrationPanel;
  txtMeasShuntCurrent = Input(frame, "txtMeasShuntCurrent", &P::txtMeasShuntCurrent);
  txtQMA740_Current = Output(frame, "txtQMA740_Current", &P::txtQMA740_Current);
  txtNewFullScaleCal_dec = Output(frame, "txtNewFullScaleCal_dec", &P::txtNewFullScaleCal_dec);
  txtNewFullScaleCal = Output(frame, "txtNewFullScaleCal", &P::txtNewFullScaleCal);
  txtPostCal_Current = Output(frame, "txtPostCal_Current", &P::txtPostCal_Current);
  cmdReadInitCalCurrent = Button(frame, "cmdReadInitCalCurrent", "Read Initial Cal Current",
                                 cmdReadInitCalCurrent_Click);
  cmdSecondCal = Button(frame, "cmdSecondCal",
                        "Compute New Full Scale Cal and Read Post Second Cal Current", SecondCal);
  int r = 0;
  grid->addWidget(Text(frame, "Measured Shunt Current"), r, 0);
  grid->addWidget(txtMeasShuntCurrent, r++, 1);
  grid->addWidget(cmdReadInitCalCurrent, r++, 0, 1, 3);
  grid->addWidget(Text(frame, "ZM5520/1 Pre Second Cal Current"), r, 0);
  grid->addWidget(txtQMA740_Current, r++, 1);
  grid->addWidget(cmdSecondCal, r++, 0, 1, 3);
  grid->addWidget(Text(frame, "New Full Scale Cal"), r, 0);
  grid->addWidget(txtNewFullScaleCal_dec, r, 1);
  grid->addWidget(Text(frame, "Int"), r++, 2);
  grid->addWidget(txtNewFullScaleCal, r, 1);
  grid->addWidget(Text(frame, "Hex"), r++, 2);
  grid->addWidget(Text(frame, "ZM5520/1 Post Second Cal Current"), r, 0);
  grid->addWidget(txtPostCal_Current, r++, 1);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(r, 1);
}

void CalibrationViews::Render() {
  rendering_ = true;
  const CalibrationPanel& p = panels_.calibration;
  for (const auto& [box, text] : boxes_) {
    const QString shown = QString::fromStdString(p.*text);
    if (box->text() != shown) box->setText(shown);
  }
  Label91->setText(QString::fromStdString(p.Label91));
  cmdReadInitCalCurrent->setEnabled(p.cmdReadInitCalCurrentEnabled);
  cmdSecondCal->setEnabled(p.cmdSecondCalEnabled);
  rendering_ = false;
}

}  // namespace evm::gui
