// SPDX-License-Identifier: GPL-3.0-or-later
// The command language of the interface board: any text parses to a report
// or an error, never past the report's command bytes.
#include "common/hex_text.h"
#include "fuzz_support.h"
#include "mnemonic/mnemonic_language.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzBytes in(data, size);
  const uint8_t sequence = in.Byte();
  const std::string text = in.Rest();

  ParsedMnemonic parsed;
  // Bytes 32 and up carry the board's answer; a parse must leave them.
  for (size_t i = 32; i < parsed.report.size(); ++i)
    parsed.report[i] = static_cast<uint8_t>(0xA0 + i);
  ParseMnemonicText(text, sequence, parsed);
  for (size_t i = 32; i < parsed.report.size(); ++i) FUZZ_CHECK(parsed.report[i] == 0xA0 + i);
  if (parsed.error.empty()) FUZZ_CHECK(parsed.report[31] == sequence);

  // The parse depends on the text alone, not on what the last one left.
  ParsedMnemonic again;
  again.words.fill("stale");
  again.report.fill(0xFF);
  again.error = "stale";
  ParseMnemonicText(text, sequence, again);
  FUZZ_CHECK(again.error == parsed.error);
  FUZZ_CHECK(again.words == parsed.words);
  for (size_t i = 0; i < 32; ++i) FUZZ_CHECK(again.report[i] == parsed.report[i]);

  for (const char* type : {"SPI", "I2C", "ONE", ""}) {
    for (const std::string& word : parsed.words) {
      const std::string status = ClassifyToken(word, type);
      const uint8_t code = EncodeToken(word, status);
      if (status == "DATA") FUZZ_CHECK(ParseHexDigits(word) == code);
    }
  }
  const uint8_t next = NextSequenceNumber(sequence);
  FUZZ_CHECK(next != 0 && next != 255);
  return 0;
}
