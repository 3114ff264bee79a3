// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "zm5520evm/export.h"

namespace evm {

// Every failure of a Bench operation is one of these; what() is the text the
// program itself shows for it.
class ZM5520EVM_API Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No board of the kind (or none with the serial number or path asked for).
class ZM5520EVM_API NoBoardError : public Error {
 public:
  using Error::Error;
};

// The board is there but cannot be opened: no permission, or in use.
class ZM5520EVM_API BoardNotOpenableError : public Error {
 public:
  using Error::Error;
};

// A board was opened but did not answer in time.
class ZM5520EVM_API BoardSilentError : public Error {
 public:
  using Error::Error;
};

// The board answered, but the device behind it did not acknowledge.
class ZM5520EVM_API NotAcknowledgedError : public Error {
 public:
  using Error::Error;
};

// A register took the write but reads back another value; or the test
// board's DAC, whose auto-calibration missed its tolerance: `reg` is kDac
// then, and `wanted` and `got` are the DAC's codes for the value asked for
// and for the value read back.
class ZM5520EVM_API ReadBackError : public Error {
 public:
  static constexpr int kDac = -1;
  ReadBackError(const std::string& what, int registerNumber, uint16_t wrote, uint16_t read)
      : Error(what), reg(registerNumber), wanted(wrote), got(read) {}
  int reg;
  uint16_t wanted;
  uint16_t got;
};

// Input that cannot be used: a mnemonic that does not parse, a script or
// register file that is not one, a value out of range (there is no class of
// its own for it: like a word that does not parse, it is the caller's input
// that is wrong, and nothing was sent). `position` is the line of a file (1
// for the first), the character of a mnemonic command where the word that
// is not understood starts (1 for the first; one past the end for a missing
// word), or 0 where there is no such place, as for a value out of range.
class ZM5520EVM_API ParseError : public Error {
 public:
  explicit ParseError(const std::string& what, std::size_t where = 0)
      : Error(what), position(where) {}
  std::size_t position;
};

// A file that could not be read or written.
class ZM5520EVM_API FileError : public Error {
 public:
  FileError(const std::string& what, std::string file, std::error_code why = {})
      : Error(what), path(std::move(file)), code(why) {}
  std::string path;
  std::error_code code;
};

// The operation was stopped (Bench::RequestStop or the caller's token)
// before it was done.
class ZM5520EVM_API CancelledError : public Error {
 public:
  using Error::Error;
};

}  // namespace evm
