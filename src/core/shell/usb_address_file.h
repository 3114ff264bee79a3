#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace evm {

inline constexpr const char* kUsbAddressFileName = "EVM_Address_Settings.csv";

// One record holding the interface board's product id as a decimal number.
std::optional<uint16_t> ReadUsbAddressFile(const std::filesystem::path& path);
bool WriteUsbAddressFile(const std::filesystem::path& path, uint16_t usbAddress);

}  // namespace evm
