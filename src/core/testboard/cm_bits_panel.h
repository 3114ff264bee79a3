// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>

#include "evm.h"

namespace evm {

// The controls of frmC_M_Bits: eight control-bit boxes and the byte last
// written, eight measure-bit boxes and the byte last read.
struct CMBitsPanel {
  CMBitsPanel() {
    Text1.fill(" 0");
    Text5.fill("0");
  }
  std::array<std::string, 8> Text1;  // control bit i, " 0" or " 1"
  std::string Text2 = "00";
  std::array<std::string, 8> Text5;  // measure bit i, "0" or "1"
  std::string Text6;
};

// A click on control box i: " 0" becomes " 1", anything else " 0".
void ToggleControlBit(CMBitsPanel& panel, int bit);
// "Write": the boxes as a byte, shown in Text2 and sent as "CMD CTRL ".
void WriteControlBits(Evm& evm, CMBitsPanel& panel);
// "Read": "CMD MEAS " and the byte it returns, whole and bit by bit.
void ReadMeasureBits(Evm& evm, CMBitsPanel& panel);

}  // namespace evm
