// SPDX-License-Identifier: GPL-3.0-or-later
#include "testboard/cm_bits_panel.h"

#include <cmath>

#include "common/eng_number.h"
#include "mnemonic/mnemonic_language.h"

namespace evm {

void ToggleControlBit(CMBitsPanel& panel, int bit) {
  std::string& box = panel.Text1.at(static_cast<size_t>(bit));
  box = box == " 0" ? " 1" : " 0";
}

void WriteControlBits(Evm& evm, CMBitsPanel& panel) {
  double value = 0;
  for (size_t i = 0; i < panel.Text1.size(); ++i) {
    value += ParseEngNumber(panel.Text1[i], evm.locale()) * std::ldexp(1.0, static_cast<int>(i));
  }
  const long long rounded = std::llround(value);
  const std::string hex = HexText(static_cast<unsigned>(rounded < 0 ? 0 : rounded));
  panel.Text2 = hex;
  evm.dutWriter().SendMnemonic("CMD CTRL " + hex);
}

void ReadMeasureBits(Evm& evm, CMBitsPanel& panel) {
  evm.dutWriter().SendMnemonic("CMD MEAS ");
  // A read that got no reply shows the previous slot, or 0 when it is empty.
  const unsigned slot = evm.results().I2C_ReadData[0].value_or(0);
  panel.Text6 = HexText(slot);
  for (size_t i = 0; i < panel.Text5.size(); ++i) {
    panel.Text5[i] = std::to_string((slot >> i) & 1u);
  }
}

}  // namespace evm
