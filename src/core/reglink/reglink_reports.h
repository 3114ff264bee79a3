// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace evm {

inline constexpr uint8_t kI2CWriteCommand = 0x14;
inline constexpr uint8_t kI2CReadCommand = 0x15;
inline constexpr uint8_t kReplyFlag = 0x80;
inline constexpr int kTransferBufferSize = 101;

// Request payloads of the register link, without the report id.
std::vector<uint8_t> BuildWriteRequest(int address, int pointer, std::span<const uint8_t> data);
std::vector<uint8_t> BuildReadRequest(int address, int pointer, int count);

// Output report: report id 0, the payload cut to fit, zero fill.
std::vector<uint8_t> BuildOutputReport(std::span<const uint8_t> payload, size_t outReportLength);

// Copies an input report without its report id into a zeroed transfer buffer.
std::vector<uint8_t> TransferBufferFromReport(std::span<const uint8_t> inputReport);

// True when the reply answers `command` with status 0.
bool ReplyIsSuccess(std::span<const uint8_t> buffer, uint8_t command);

}  // namespace evm
