// SPDX-License-Identifier: GPL-3.0-or-later
#include "scpi/scpi_status.h"

namespace evm::scpi {

uint8_t EventBitOf(int code) {
  if (code <= -100 && code > -200) return kCommandErrorBit;
  if (code <= -200 && code > -300) return kExecutionErrorBit;
  if (code <= -400 && code > -500) return kQueryError;
  return kDeviceError;
}

void StatusModel::Report(int code, std::string info) {
  events_ |= EventBitOf(code);
  errors.Push(code, std::move(info));
}

uint8_t StatusModel::ReadEvents() {
  const uint8_t e = events_;
  events_ = 0;
  return e;
}

uint8_t StatusModel::StatusByte() const {
  uint8_t stb = 0;
  if (!errors.Empty()) stb |= kErrorAvailable;
  if ((events_ & eventEnable) != 0) stb |= kEventSummary;
  if ((stb & serviceEnable & ~kMasterSummary) != 0) stb |= kMasterSummary;
  return stb;
}

void StatusModel::Clear() {
  events_ = 0;
  errors.Clear();
}

}  // namespace evm::scpi
