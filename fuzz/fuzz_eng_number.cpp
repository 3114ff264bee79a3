// SPDX-License-Identifier: GPL-3.0-or-later
// Number text in both decimal conventions: engineering notation, the display
// patterns and the general form, with the read-back of what is written.
#include <cmath>

#include "common/eng_number.h"
#include "common/localize_decimal.h"
#include "common/number_text.h"
#include "common/write_records.h"
#include "fuzz_support.h"
#include "testboard/eval_control_panel.h"

using namespace evm;

namespace {

// What the program writes must read back as the same text.
void CheckReadBack(double value, const NumberLocale& locale) {
  if (!std::isfinite(value)) return;
  const std::string shown = FormatGeneral(value, locale);
  const auto back = ParseLocaleNumber(shown, locale);
  // Shown with 15 digits, only the very largest numbers round past the
  // largest double; files take the digits that read back.
  FUZZ_CHECK(back.has_value() || std::fabs(value) > 1.797693134862e308);
  if (back) FUZZ_CHECK(FormatGeneral(*back, locale) == shown);

  const std::string stored = FormatRecordNumber(value);
  const auto read = ParseInvariantNumber(stored);
  FUZZ_CHECK(read.has_value());
  FUZZ_CHECK(FormatRecordNumber(*read) == stored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  for (const NumberLocale& locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    const double eng = ParseEngNumber(text, locale);
    const std::string formatted = FormatEngNumber(eng, locale);
    if (std::isfinite(eng)) {
      // Three decimals and a prefix: reading it back lands within rounding.
      const double back = ParseEngNumber(formatted, locale);
      FUZZ_CHECK(std::isfinite(back));
    }
    for (const char* pattern : {"##0.000", "#.####", "#####0"}) {
      (void)FormatWithPattern(eng, pattern, locale);
    }
    CheckReadBack(eng, locale);
    if (const auto plain = ParseLocaleNumber(text, locale)) CheckReadBack(*plain, locale);
  }
  (void)LeadingNumber(text);
  for (int comma : {0, 1}) {
    const std::string localized = LocalizeDecimal(text, comma);
    FUZZ_CHECK(!localized.empty());
  }
  if (const auto stored = ParseInvariantNumber(text)) CheckReadBack(*stored, NumberLocale::Point());

  // The raw bit patterns reach the doubles no text would (the extremes).
  fuzz::FuzzBytes in(data, size);
  const double raw = in.Double();
  CheckReadBack(raw, NumberLocale::Point());
  CheckReadBack(raw, NumberLocale::Comma());
  (void)FormatEngNumber(raw, NumberLocale::Comma());
  return 0;
}
