// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace evm::scpi {

// One parameter as written: a quoted string is kept with its quotes undone
// and `quoted` set; anything else is its text without surrounding blanks.
struct Parameter {
  std::string text;
  bool quoted = false;
};

// A header as written: "*IDN?" is common; "MEAS:VOLT?" has the mnemonics
// {"MEAS", "VOLT"}; `rooted` for a leading colon.
struct Header {
  bool common = false;
  bool rooted = false;
  bool query = false;
  std::vector<std::string> mnemonics;  // upper case; the common name without '*'
};

struct ProgramUnit {
  Header header;
  std::vector<Parameter> params;
  size_t column = 0;  // where the unit starts in the line, from 1
};

struct ParseFailure {
  int code = 0;  // 0: none
  std::string info;
};

// A line without its terminator into the units between its semicolons.
// A control byte, or one past ASCII outside a string, refuses the line
// whole (-102); a malformed unit (an unterminated string, a bad header)
// leaves in `units` those before it, which an instrument runs before it
// reports the fault, as it would had it parsed as it went.
ParseFailure ParseLine(std::string_view line, std::vector<ProgramUnit>& units);

}  // namespace evm::scpi
