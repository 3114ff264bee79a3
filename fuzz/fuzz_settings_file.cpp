// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: a file that parses is written back and reads as the
// same settings.
#include "fuzz_support.h"
#include "shell/settings_file.h"

using namespace evm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(fuzz::AsText(data, size));
  const auto file = fuzz::InputFile(kSettingsFileName, data, size);
  const auto settings = ReadSettingsFile(file);
  const auto parsed = ParseSettings(content);
  FUZZ_CHECK(settings.has_value() == parsed.has_value());
  if (!settings) return 0;

  FUZZ_CHECK(WriteSettingsFile(file, *settings));
  const auto back = ReadSettingsFile(file);
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(back->rshunt == fuzz::AsWritten(settings->rshunt));
  FUZZ_CHECK(back->maxExpectedCurrent == fuzz::AsWritten(settings->maxExpectedCurrent));
  FUZZ_CHECK(back->selectedCurrentLsb == fuzz::AsWritten(settings->selectedCurrentLsb));
  FUZZ_CHECK(back->month == settings->month && back->year == settings->year);
  return 0;
}
