// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace evm {

inline constexpr int kMnemonicSlots = 41;
inline constexpr int kMaxMnemonicWords = 27;

using MnemonicWordArray = std::array<std::string, kMnemonicSlots>;
using MnemonicReportArray = std::array<uint8_t, kMnemonicSlots>;

// What one parse leaves behind: the words after header normalisation, the
// report (bytes 0..31 are the command report) and the first error, empty
// when the text may be sent.
struct ParsedMnemonic {
  MnemonicWordArray words{};
  MnemonicReportArray report{};
  std::string error;
  // With an error: the character of the text (1 for the first) where the
  // word it names starts, or one past the end when that word is missing.
  std::size_t errorPosition = 0;
};

// The text as a command report stamped with `sequenceNumber`. Pure: no
// logging, no message box, no sequence bookkeeping. Bytes 32..40 of
// `report` are not touched, as they never leave the program.
void ParseMnemonicText(std::string_view text, uint8_t sequenceNumber, ParsedMnemonic& parsed);

// "DATA", "COMMAND", "INVALID I2C", "INVALID SPI", "INVALID ONE", or empty
// for an interface type without tokens.
std::string ClassifyToken(std::string_view word, std::string_view interfaceType);

// The byte a classified token puts into the report; 0 for an unknown word.
uint8_t EncodeToken(std::string_view word, std::string_view status);

// 1, 2, ..., 254, 1, ...: 0 is never sent and 255 stays free for the echo.
uint8_t NextSequenceNumber(uint8_t current);

// The message box text of a refused command.
std::string MnemonicErrorMessage(const std::string& description);

// Upper-case hexadecimal without leading zeros, as the board's byte views show it.
std::string HexText(unsigned value);

}  // namespace evm
