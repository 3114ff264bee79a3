// SPDX-License-Identifier: GPL-3.0-or-later
// Hexadecimal text: digits, the register box's entry and the --vendor-id
// value, with the read-back of the byte views' text.
#include "common/hex_text.h"
#include "fuzz_support.h"
#include "mnemonic/mnemonic_language.h"
#include "registers/register_display.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(fuzz::AsText(data, size));
  for (char c : text) {
    if (const auto digit = HexDigitValue(c)) FUZZ_CHECK(*digit < 16);
  }
  if (const auto value = ParseHexDigits(text)) {
    if (text.size() <= 8) {
      const auto shown = HexText(static_cast<unsigned>(*value));
      FUZZ_CHECK(ParseHexDigits(shown) == value);
    }
    // The register box refuses, of the digit runs, only the empty text and
    // those past 32 bits.
    const HexEntry entry = ParseHexEntry(text);
    FUZZ_CHECK(entry.valid == (!text.empty() && *value <= 0xFFFFFFFFu));
    FUZZ_CHECK(!entry.valid || entry.value == static_cast<long long>(*value));
  }
  (void)ParseHexEntry(text);
  if (const auto id = ParseHex16(text)) FUZZ_CHECK(ParseHex16(HexText(*id)) == id);
  return 0;
}
