// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace evm {

// Rewrites the decimal separator of a plain number text to the one that
// decimalComma selects; an empty text becomes "0".
std::string LocalizeDecimal(std::string_view text, int decimalComma);

}  // namespace evm
