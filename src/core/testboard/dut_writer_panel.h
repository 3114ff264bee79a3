// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "common/user_interface.h"

namespace evm {

inline constexpr const char* kDutWriterFileName = "DUT_Writer.csv";

// The five command texts of frmUSB_DUT_Writer.
struct DutWriterPanel {
  std::array<std::string, 5> txtCmdString{"CMD ON", "CMD OFF",
                                          "I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P ", "", ""};
};

// The window's load: five text fields from the file, or the initial texts
// when the file is missing or short.
// A file that is there but cannot be read is named through `ui`.
void LoadDutWriterFile(DutWriterPanel& panel, const std::filesystem::path& file, UserInterface& ui);
// The window's unload; false when the file could not be written.
bool SaveDutWriterFile(const DutWriterPanel& panel, const std::filesystem::path& file);

}  // namespace evm
