// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/localize_decimal.h"

namespace evm {

std::string LocalizeDecimal(std::string_view text, int decimalComma) {
  if (text.empty()) return "0";
  std::string out(text);
  for (char& c : out) {
    if (decimalComma == 1 && c == '.') c = ',';
    if (decimalComma == 0 && c == ',') c = '.';
  }
  return out;
}

}  // namespace evm
