// SPDX-License-Identifier: GPL-3.0-or-later
#include "testboard/eval_control_panel.h"

#include <cctype>
#include <charconv>
#include <string>

#include "common/atomic_file.h"
#include "common/eng_number.h"
#include "common/number_text.h"
#include "common/write_records.h"

namespace evm {

namespace {

std::string Shown(double value, const NumberLocale& locale) {
  return FormatWithPattern(value, "#.####", locale);
}

// Both bytes of the converter's answer came back. Without them the computed
// value is a 0 that looks measured, so the box stays empty.
bool ConverterAnswered(const Evm& evm) {
  return evm.results().I2C_ReadData[0].has_value() && evm.results().I2C_ReadData[1].has_value();
}

}  // namespace

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  // The point is the decimal separator in every locale; the comma is taken
  // too, since the window shows its readings with it.
  size_t separator = std::string_view::npos;
  if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
    separator = i++;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return 0;
  // An exponent counts only when digits follow it ("2E3", not "2Elephants").
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
      i = j;
    }
  }
  std::string number(text.substr(start, i - start));
  if (separator != std::string_view::npos) number[separator - start] = '.';
  // from_chars reads the point whatever the process locale says.
  const char* first = number.data();
  if (*first == '+') ++first;
  double value = 0;
  std::from_chars(first, number.data() + number.size(), value, std::chars_format::general);
  return value;
}

void EvalReferenceClick(Evm& evm, EvalControlPanel& panel, Reference mode) {
  CalibrationBoard& board = evm.calBoard();
  board.RefMode = mode;
  if (mode == Reference::Factory5V) board.VrefVolts = 5.0;
  if (mode == Reference::Factory3V) board.VrefVolts = 3.0;
  if (mode == Reference::User) {
    const auto answer = evm.ui().InputBox("Enter reference value.", "", "");
    const double volts = ParseEngNumber(answer.value_or(""), evm.locale());
    if (volts > 0) {
      board.VrefVolts = volts;
    } else {
      // A reference of 0 V would divide every reading and DAC code by zero.
      evm.ui().MessageBox("The reference voltage must be greater than 0 V; " +
                              FormatGeneral(board.VrefVolts, evm.locale()) + " V is kept.",
                          "");
    }
  }
  if (mode != Reference::DigitalCodes) panel.Text5 = FormatGeneral(board.VrefVolts, evm.locale());
}

void EvalMuxClick(Evm& evm, EvalControlPanel& panel, MuxGroup group, MuxInput choice) {
  panel.muxChoice[group] = choice;
  const Converter which =
      group == kCnv1Plus || group == kCnv1Minus ? Converter::Cnv1 : Converter::Cnv2;
  const bool plus = group == kCnv1Plus || group == kCnv2Plus;
  evm.calBoard().SetCnvMux(which, plus ? choice : MuxInput::Unchanged,
                           plus ? MuxInput::Unchanged : choice);
}

void EvalLoopCheckClick(Evm& evm, EvalControlPanel& panel, bool checked) {
  panel.Check1 = checked;
  // One click costs at most one time-out: after a send the board did not
  // answer, the rest of the click's sends are left out.
  const auto failed = [&evm] { return evm.dutWriter().LastExchangeFailed(); };
  if (checked) {
    if (evm.calBoard().SetCnvMux(Converter::Cnv2, MuxInput::Open, MuxInput::Gnd))
      evm.dutWriter().SendMnemonic("CMD ILOOP ON");
    panel.cnv2ChoicesEnabled = false;
    panel.loopReadEnabled = true;
    return;
  }
  evm.dutWriter().SendMnemonic("CMD MUX 40");
  if (!failed()) evm.dutWriter().SendMnemonic("CMD ILOOP OFF");
  panel.loopReadEnabled = false;
  panel.cnv2ChoicesEnabled = true;
  if (failed()) return;
  evm.calBoard().SetCnvMux(Converter::Cnv2, panel.muxChoice[kCnv2Plus],
                           panel.muxChoice[kCnv2Minus]);
}

void EvalReadCnvClick(Evm& evm, EvalControlPanel& panel, Converter which) {
  const double value = evm.calBoard().ReadCnv(which, evm.calBoard().RefMode);
  (which == Converter::Cnv1 ? panel.Text10 : panel.Text11) =
      ConverterAnswered(evm) ? Shown(value, evm.locale()) : std::string();
}

void EvalReadLoopClick(Evm& evm, EvalControlPanel& panel) {
  const auto amps = evm.calBoard().ReadLoopCurrent(evm.calBoard().RefMode);
  panel.txt_I_Loop =
      amps && ConverterAnswered(evm) ? Shown(*amps * 1000, evm.locale()) : std::string();
}

void EvalAutoCalClick(Evm& evm, EvalControlPanel& panel, bool checked) {
  panel.chkDAC_AutoCal = checked;
  evm.calBoard().DacAutoCal = checked;
}

void EvalWriteDacClick(Evm& evm, EvalControlPanel& panel, DacChannel channel) {
  const double volts = LeadingNumber(panel.dacText[static_cast<size_t>(channel)]);
  evm.calBoard().AutoCalReadBack.reset();
  evm.calBoard().SetDac(channel, volts, evm.calBoard().RefMode, panel.chkDAC_AutoCal);
  // A failure has its message box; a success is told here.
  panel.autoCalNote.clear();
  if (const auto readBack = evm.calBoard().AutoCalReadBack) {
    panel.autoCalNote = std::string("DAC") + static_cast<char>('A' + static_cast<int>(channel)) +
                        " auto-calibrated: " + Shown(*readBack, evm.locale()) + " V read back";
  }
}

void EvalSupplyClick(Evm& evm, EvalControlPanel& panel) {
  const bool turnOn = panel.Command3 == "Press to turn Vdut On";
  evm.dutWriter().SendMnemonic(turnOn ? "CMD ON" : "CMD OFF");
  // Without USB (also when chosen in the dialog of this very send) nothing
  // reached the board: the caption keeps telling the supply's state.
  if (evm.shell().RunWithoutUsb) return;
  panel.Command3 = turnOn ? "Press to turn Vdut Off" : "Press to turn Vdut On";
}

bool WriteControlEvmSettings(const std::filesystem::path& file, double vrefVolts, Reference refMode,
                             std::error_code* ec) {
  RecordWriter w;
  // The file holds the mode by its number.
  w.Number(vrefVolts).EndRecord().Number(static_cast<int>(refMode)).EndRecord();
  std::error_code why;
  const bool written = WriteFileAtomically(file, w.Content(), why);
  if (ec) *ec = why;
  return written;
}

bool EvalControlUnload(Evm& evm, const EvalControlPanel& panel) {
  return WriteControlEvmSettings(evm.StateFile(kControlEvmSettingsFileName),
                                 ParseEngNumber(panel.Text5, evm.locale()), evm.calBoard().RefMode);
}

}  // namespace evm
