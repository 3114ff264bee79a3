// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace evm {

// The separators of the user's number format, read once at start-up. Core
// never consults a process-wide locale, so two contexts may differ.
struct NumberLocale {
  char decimalSeparator = '.';
  char groupSeparator = ',';

  static NumberLocale Point() { return {'.', ','}; }
  static NumberLocale Comma() { return {',', '.'}; }
};

}  // namespace evm
