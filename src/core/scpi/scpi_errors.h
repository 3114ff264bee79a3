// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace evm::scpi {

// The error and event numbers the instrument reports, with their standard
// texts (ErrorText).
enum ErrorCode : int {
  kNoError = 0,
  kCommandError = -100,
  kSyntaxError = -102,
  kDataTypeError = -104,
  kParameterNotAllowed = -108,
  kMissingParameter = -109,
  kUndefinedHeader = -113,
  kInvalidSuffix = -131,
  kExecutionError = -200,
  kInitIgnored = -213,
  kSettingsConflict = -221,
  kDataOutOfRange = -222,
  kTooMuchData = -223,
  kIllegalParameterValue = -224,
  kDataStale = -230,
  kHardwareError = -240,
  kHardwareMissing = -241,
  kQueueOverflow = -350,
};

// "Syntax error" for -102; "Command error" etc. for a number not listed, by
// its class.
std::string ErrorText(int code);

struct QueuedError {
  int code = kNoError;
  std::string info;  // what went wrong here, after the standard text
};

// The answer SYSTem:ERRor? gives: -113,"Undefined header;FOO:BAR".
std::string FormatError(const QueuedError& error);

// First in, first out, bounded: once full, the newest entry becomes -350 and
// further errors are lost until the queue is read, as a client that never
// reads it must not grow the server.
class ErrorQueue {
 public:
  static constexpr std::size_t kDefaultCapacity = 16;
  explicit ErrorQueue(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  void Push(int code, std::string info = {});
  // The oldest entry, removed; 0,"No error" when empty.
  QueuedError Pop();
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }

 private:
  std::size_t capacity_;
  std::deque<QueuedError> entries_;
};

}  // namespace evm::scpi
