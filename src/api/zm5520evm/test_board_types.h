// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace evm {

// How the converters are read and the DAC is set: through the factory
// coefficients of the 5 V or the 3 V reference, on a reference the user
// gave (None, before any choice, reads the same), or as raw codes. The
// numbers are the ones the eval control settings file stores.
enum class Reference { None = 0, Factory5V = 1, Factory3V = 2, User = 3, DigitalCodes = 4 };

enum class Converter { Cnv1 = 0, Cnv2 = 1 };

// What one converter input is switched to; Unchanged leaves it as it is.
enum class MuxInput { Unchanged = 0, Open, Gnd, Dac };

enum class DacChannel { A = 0, B = 1, C = 2, D = 3 };

}  // namespace evm
