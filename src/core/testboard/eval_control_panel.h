// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "evm.h"

namespace evm {

inline constexpr const char* kControlEvmSettingsFileName = "ControlEVM_Settings.csv";

// Multiplexer option groups of the eval window.
enum MuxGroup { kCnv1Plus = 0, kCnv1Minus = 1, kCnv2Plus = 2, kCnv2Minus = 3 };

// The controls of frmEvalControl.
struct EvalControlPanel {
  std::string Text5 = "5";
  std::array<MuxInput, 4> muxChoice{};  // per MuxGroup; Unchanged until clicked
  bool Check1 = false;                  // "Connect I_loop Readback"
  bool cnv2ChoicesEnabled = true;       // Option10 to Option15
  bool loopReadEnabled = false;         // cmdRead_I_Loop, lbl_I_Loop, txt_I_Loop
  std::string Text10;                   // CNV1
  std::string Text11;                   // CNV2
  std::string txt_I_Loop;
  std::array<std::string, 4> dacText{};  // Text6 to Text9, DAC A to D
  bool chkDAC_AutoCal = false;
  // Under the DAC rows: how the last auto-calibrated write ended well.
  std::string autoCalNote;
  std::string Command3 = "Press to turn Vdut On";
};

// Option1, Option2, Option3, Option16.
void EvalReferenceClick(Evm& evm, EvalControlPanel& panel, Reference mode);
void EvalMuxClick(Evm& evm, EvalControlPanel& panel, MuxGroup group, MuxInput choice);
void EvalLoopCheckClick(Evm& evm, EvalControlPanel& panel, bool checked);
// Command5 and Command6.
void EvalReadCnvClick(Evm& evm, EvalControlPanel& panel, Converter which);
void EvalReadLoopClick(Evm& evm, EvalControlPanel& panel);
void EvalAutoCalClick(Evm& evm, EvalControlPanel& panel, bool checked);
// Command4, Command7, Command8, Command9.
void EvalWriteDacClick(Evm& evm, EvalControlPanel& panel, DacChannel channel);
void EvalSupplyClick(Evm& evm, EvalControlPanel& panel);
// The window's unload: the settings file from Text5 and RefMode.
bool EvalControlUnload(Evm& evm, const EvalControlPanel& panel);

// Two records: the reference voltage and RefMode. False, with the system's
// reason in `ec` when given, when the file could not be written.
bool WriteControlEvmSettings(const std::filesystem::path& file, double vrefVolts, Reference refMode,
                             std::error_code* ec = nullptr);

// The number at the start of a text, "." or "," as decimal point ("1.25V"
// and "1,25V" are 1.25);
// 0 when there is none.
double LeadingNumber(std::string_view text);

}  // namespace evm
