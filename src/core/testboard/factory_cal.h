// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace evm {

inline constexpr const char* kFactoryCalFileName = "FactoryCal.csv";

struct GainOffset {
  double gain = 1.0;
  double offset = 0.0;
};

// Correction coefficients of the test board (FactoryCal). Index meaning:
// converter 0 = CNV1, 1 = CNV2; reference 0 = 5 V (mode 1), 1 = 3 V (mode 2);
// sign 0 = positive reading, 1 = not positive; DAC channel 0..3 = A..D.
//
// "FactoryCal.csv" holds the 34 numbers as write records in this order:
// for CNV1 then CNV2, for 5 V then 3 V, for positive then not positive:
// gain, offset (16 numbers); for DAC A, B, C, D, for 5 V then 3 V: gain,
// offset (16 numbers); then the loop read-back's gain and offset.
struct FactoryCalTable {
  std::array<std::array<std::array<GainOffset, 2>, 2>, 2> cnv{};
  std::array<std::array<GainOffset, 2>, 4> dac{};
  GainOffset loop{};
};

inline constexpr int kFactoryCalValues = 34;

// The table from its file. Without a file every gain is 1 and every offset
// 0; a file that does not hold 34 numbers changes nothing. A gain of 0 would
// divide by zero or wipe a reading out, so it is replaced by 1; `notes`
// receives one line per replacement.
// `readError` receives why the file could not be read, when it could not.
FactoryCalTable LoadFactoryCal(const std::filesystem::path& file, std::vector<std::string>& notes,
                               std::error_code* readError = nullptr);

// The table as the file holds it.
std::string FactoryCalFileContent(const FactoryCalTable& table);

}  // namespace evm
