// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <system_error>

namespace evm {

// Why an operation on the interface board or the test board did not do
// what it is for. The windows turn it into their message boxes, the Bench
// into its error types; neither has to read a text to tell one from another.
enum class BoardFailure {
  None,
  // No usable answer: no board, a failed write or read, a time-out, an
  // answer that was not to this command, or nothing sent without USB.
  Silent,
  // The board answered, but a device behind it did not acknowledge.
  NotAcknowledged,
  // A command text that is no command; nothing was sent.
  Parse,
  // A value outside what the device can take; nothing was sent.
  OutOfRange,
  // A file the operation needs is there but cannot be read.
  File,
  // A stop request ended the operation before it was done.
  Stopped,
  // The device took the setting, but what is read back misses it.
  ReadBack,
};

struct BoardOutcome {
  BoardFailure failure = BoardFailure::None;
  // Parse: the character of the text (1 for the first) where the word
  // that is not understood starts, or one past the end for a missing word.
  std::size_t position = 0;
  // Parse: the parser's reason, as the message box quotes it.
  // File: the file's name.
  std::string detail{};
  // File: the system's reason.
  std::error_code code{};

  bool Ok() const { return failure == BoardFailure::None; }
  // Keeps the first failure of an operation of several exchanges.
  BoardOutcome& Then(const BoardOutcome& later) {
    if (Ok()) *this = later;
    return *this;
  }
};

template <typename T>
struct BoardResult {
  T value{};
  BoardOutcome outcome{};
};

}  // namespace evm
