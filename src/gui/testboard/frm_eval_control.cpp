// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/testboard/frm_eval_control.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/shell/keyboard.h"

namespace evm::gui {

namespace {

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

QLineEdit* ResultBox(QWidget* parent, const char* name) {
  auto* box = Named(new QLineEdit(parent), name);
  box->setReadOnly(true);
  box->setFixedWidth(90);
  NoTabStop(box);
  return box;
}

}  // namespace

frmEvalControl::frmEvalControl(Evm& evm, QWidget* parent) : QWidget(parent, Qt::Window), evm_(evm) {
  setObjectName("frmEvalControl");
  setWindowTitle("Eval Control");
  auto* layout = new QGridLayout(this);

  // Reference in use and its choice.
  auto* vref = new QHBoxLayout;
  Text5 = Named(new QLineEdit(QString::fromStdString(panel_.Text5), this), "Text5");
  Text5->setFixedWidth(70);
  vref->addWidget(new QLabel("Vref", this));
  vref->addWidget(Text5);
  vref->addWidget(new QLabel("V", this));
  vref->addStretch(1);
  layout->addLayout(vref, 0, 0);

  auto* adc = Named(new QGroupBox("ADC Config", this), "Frame1");
  auto* adcLayout = new QVBoxLayout(adc);
  Option1 = Named(new QRadioButton("5V Reference (Factory Cal)", adc), "Option1");
  Option2 = Named(new QRadioButton("3V Reference (Factory Cal)", adc), "Option2");
  Option3 = Named(new QRadioButton("User Defined Reference", adc), "Option3");
  Option16 = Named(new QRadioButton("Output Digital Codes", adc), "Option16");
  const std::pair<QRadioButton*, Reference> references[] = {{Option1, Reference::Factory5V},
                                                            {Option2, Reference::Factory3V},
                                                            {Option3, Reference::User},
                                                            {Option16, Reference::DigitalCodes}};
  for (const auto& [option, mode] : references) {
    adcLayout->addWidget(option);
    connect(option, &QRadioButton::clicked, this, [this, m = mode] {
      EvalReferenceClick(evm_, panel_, m);
      Render();
    });
  }
  layout->addWidget(adc, 1, 0);

  // Multiplexer: four groups of three choices.
  auto* mux = Named(new QGroupBox("Test Mode Mux Connections", this), "Frame2");
  auto* muxLayout = new QGridLayout(mux);
  const char* groupCaptions[] = {"CNV1+", "CNV1-", "CNV2+", "CNV2-"};
  const char* choiceCaptions[4][3] = {{"Open", "DAC_B", "Gnd"},
                                      {"Open", "DAC_A", "GND"},
                                      {"Open", "DAC_D", "GND"},
                                      {"Open", "DAC_C", "GND"}};
  const MuxInput choices[] = {MuxInput::Open, MuxInput::Dac, MuxInput::Gnd};
  for (int g = 0; g < 4; ++g) {
    auto* frame = new QGroupBox(groupCaptions[g], mux);
    frame->setObjectName(QString("FrameMux%1").arg(g));
    auto* frameLayout = new QVBoxLayout(frame);
    auto* group = new QButtonGroup(frame);
    for (int k = 0; k < 3; ++k) {
      auto* option = new QRadioButton(choiceCaptions[g][k], frame);
      option->setObjectName(QString("Option%1").arg(4 + g * 3 + k));
      group->addButton(option);
      frameLayout->addWidget(option);
      muxOptions[static_cast<size_t>(g * 3 + k)] = option;
      const MuxInput choice = choices[k];
      connect(option, &QRadioButton::clicked, this,
              [this, g, choice] { EvalMuxClick(evm_, panel_, static_cast<MuxGroup>(g), choice); });
    }
    muxLayout->addWidget(frame, 0, g);
  }
  Check1 = Named(new QCheckBox("Connect I_loop Readback", mux), "Check1");
  muxLayout->addWidget(Check1, 1, 0, 1, 4);
  connect(Check1, &QCheckBox::clicked, this, [this](bool checked) {
    EvalLoopCheckClick(evm_, panel_, checked);
    Render();
  });
  layout->addWidget(mux, 0, 1, 2, 1);

  // Converters.
  auto* cnv = Named(new QGroupBox("CNV3800", this), "Frame3");
  auto* cnvLayout = new QGridLayout(cnv);
  Command5 = Named(new QPushButton("Read CNV1", cnv), "Command5");
  Text10 = ResultBox(cnv, "Text10");
  Command6 = Named(new QPushButton("Read CNV2", cnv), "Command6");
  Text11 = ResultBox(cnv, "Text11");
  cmdRead_I_Loop = Named(new QPushButton("Read I_Loop", cnv), "cmdRead_I_Loop");
  lbl_I_Loop = Named(new QLabel("I_Loop:", cnv), "lbl_I_Loop");
  txt_I_Loop = ResultBox(cnv, "txt_I_Loop");
  cnvLayout->addWidget(Command5, 0, 0);
  cnvLayout->addWidget(new QLabel("CNV1:", cnv), 0, 1);
  cnvLayout->addWidget(Text10, 0, 2);
  cnvLayout->addWidget(Command6, 1, 0);
  cnvLayout->addWidget(new QLabel("CNV2:", cnv), 1, 1);
  cnvLayout->addWidget(Text11, 1, 2);
  cnvLayout->addWidget(cmdRead_I_Loop, 2, 0);
  cnvLayout->addWidget(lbl_I_Loop, 2, 1);
  cnvLayout->addWidget(txt_I_Loop, 2, 2);
  cnvLayout->setColumnStretch(3, 1);
  connect(Command5, &QPushButton::clicked, this, [this] {
    const BusyCursor busy;
    EvalReadCnvClick(evm_, panel_, Converter::Cnv1);
    Render();
  });
  connect(Command6, &QPushButton::clicked, this, [this] {
    const BusyCursor busy;
    EvalReadCnvClick(evm_, panel_, Converter::Cnv2);
    Render();
  });
  connect(cmdRead_I_Loop, &QPushButton::clicked, this, [this] {
    const BusyCursor busy;
    EvalReadLoopClick(evm_, panel_);
    Render();
  });
  layout->addWidget(cnv, 2, 0);

  // DAC.
  auto* dac = Named(new QGroupBox("QDX4470", this), "Frame4");
  auto* dacLayout = new QGridLayout(dac);
  chkDAC_AutoCal = Named(new QCheckBox("DAC Auto Calibration", dac), "chkDAC_AutoCal");
  dacLayout->addWidget(chkDAC_AutoCal, 0, 0, 1, 3);
  connect(chkDAC_AutoCal, &QCheckBox::clicked, this, [this](bool checked) {
    const BusyCursor busy;
    EvalAutoCalClick(evm_, panel_, checked);
  });
  const char* buttonNames[] = {"Command4", "Command7", "Command8", "Command9"};
  const char* boxNames[] = {"Text6", "Text7", "Text8", "Text9"};
  const char* letters[] = {"A", "B", "C", "D"};
  for (int ch = 0; ch < 4; ++ch) {
    // The box before its button, so Tab goes from a typed value to its Write.
    auto* box = Named(new QLineEdit(dac), boxNames[ch]);
    auto* button =
        Named(new QPushButton(QString("Write DAC%1").arg(letters[ch]), dac), buttonNames[ch]);
    ReturnPresses(box, button);
    box->setFixedWidth(90);
    dacLayout->addWidget(button, ch + 1, 0);
    dacLayout->addWidget(new QLabel(QString("DAC%1:").arg(letters[ch]), dac), ch + 1, 1);
    dacLayout->addWidget(box, ch + 1, 2);
    dacButtons[static_cast<size_t>(ch)] = button;
    dacBoxes[static_cast<size_t>(ch)] = box;
    connect(box, &QLineEdit::textChanged, this, [this, ch](const QString& text) {
      panel_.dacText[static_cast<size_t>(ch)] = text.toStdString();
    });
    connect(button, &QPushButton::clicked, this, [this, ch] {
      const BusyCursor busy;
      EvalWriteDacClick(evm_, panel_, static_cast<DacChannel>(ch));
      Render();
    });
  }
  lblAutoCal = Named(new QLabel(dac), "lblAutoCal");
  dacLayout->addWidget(lblAutoCal, 5, 0, 1, 4);
  // The frame is as wide as the mux frame above it; the room left over goes
  // to the right, so each box stays beside its label.
  dacLayout->setColumnStretch(3, 1);
  layout->addWidget(dac, 2, 1);

  Command3 = Named(new QPushButton(QString::fromStdString(panel_.Command3), this), "Command3");
  connect(Command3, &QPushButton::clicked, this, [this] {
    EvalSupplyClick(evm_, panel_);
    Render();
  });
  layout->addWidget(Command3, 3, 0, 1, 2);
  // Extra height goes below the controls, not between the options.
  layout->setRowStretch(4, 1);
  layout->setColumnStretch(2, 1);

  connect(Text5, &QLineEdit::textEdited, this,
          [this](const QString& text) { panel_.Text5 = text.toStdString(); });
  Render();
  // Opening applies none of the options; the one that matches the reference
  // shown is marked, so the frame never shows no reference at all.
  const double shown = LeadingNumber(panel_.Text5);
  (shown == 5 ? Option1 : shown == 3 ? Option2 : Option3)->setChecked(true);
  MakeToolWindow(this);
}

void frmEvalControl::Render() {
  Text5->setText(QString::fromStdString(panel_.Text5));
  Text10->setText(QString::fromStdString(panel_.Text10));
  Text11->setText(QString::fromStdString(panel_.Text11));
  txt_I_Loop->setText(QString::fromStdString(panel_.txt_I_Loop));
  for (size_t i = 6; i < 12; ++i) muxOptions[i]->setEnabled(panel_.cnv2ChoicesEnabled);
  cmdRead_I_Loop->setEnabled(panel_.loopReadEnabled);
  lbl_I_Loop->setEnabled(panel_.loopReadEnabled);
  txt_I_Loop->setEnabled(panel_.loopReadEnabled);
  SetCaption(Command3, QString::fromStdString(panel_.Command3));
  lblAutoCal->setText(QString::fromStdString(panel_.autoCalNote));
}

void frmEvalControl::closeEvent(QCloseEvent* e) {
  // A file that cannot be written does not keep the window open.
  EvalControlUnload(evm_, panel_);
  QWidget::closeEvent(e);
}

}  // namespace evm::gui
