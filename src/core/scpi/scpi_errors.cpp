// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_errors.h"

namespace evm::scpi {

std::string ErrorText(int code) {
  switch (code) {
    case kNoError: return "No error";
    case kCommandError: return "Command error";
    case kSyntaxError: return "Syntax error";
    case kDataTypeError: return "Data type error";
    case kParameterNotAllowed: return "Parameter not allowed";
    case kMissingParameter: return "Missing parameter";
    case kUndefinedHeader: return "Undefined header";
    case kInvalidSuffix: return "Invalid suffix";
    case kExecutionError: return "Execution error";
    case kInitIgnored: return "Init ignored";
    case kSettingsConflict: return "Settings conflict";
    case kDataOutOfRange: return "Data out of range";
    case kTooMuchData: return "Too much data";
    case kIllegalParameterValue: return "Illegal parameter value";
    case kDataStale: return "Data corrupt or stale";
    case kHardwareError: return "Hardware error";
    case kHardwareMissing: return "Hardware missing";
    case kQueueOverflow: return "Queue overflow";
    default: break;
  }
  if (code <= -100 && code > -200) return "Command error";
  if (code <= -200 && code > -300) return "Execution error";
  if (code <= -300 && code > -400) return "Device-specific error";
  if (code <= -400 && code > -500) return "Query error";
  return "Device-specific error";
}

std::string FormatError(const QueuedError& error) {
  std::string text = ErrorText(error.code);
  if (!error.info.empty()) text += ";" + error.info;
  // A quote would end the string for the client, a line break the answer.
  for (char& c : text) {
    if (c == '"') c = '\'';
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return std::to_string(error.code) + ",\"" + text + "\"";
}

void ErrorQueue::Push(int code, std::string info) {
  if (capacity_ == 0) return;
  if (entries_.size() < capacity_) {
    entries_.push_back({code, std::move(info)});
  } else if (entries_.back().code != kQueueOverflow) {
    entries_.back() = {kQueueOverflow, {}};
  }
}

QueuedError ErrorQueue::Pop() {
  if (entries_.empty()) return {};
  QueuedError e = std::move(entries_.front());
  entries_.pop_front();
  return e;
}

}  // namespace evm::scpi
