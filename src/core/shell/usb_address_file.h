// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace evm {

inline constexpr const char* kUsbAddressFileName = "EVM_Address_Settings.csv";

// One record holding the interface board's product id as a decimal number.
// `readError` receives why the file could not be read, when it could not.
std::optional<uint16_t> ReadUsbAddressFile(const std::filesystem::path& path,
                                           std::error_code* readError = nullptr);
// False, with the system's reason in `ec` when given, when it could not be written.
bool WriteUsbAddressFile(const std::filesystem::path& path, uint16_t usbAddress,
                         std::error_code* ec = nullptr);

}  // namespace evm
