// SPDX-License-Identifier: GPL-3.0-or-later
#include "reglink/reglink_reports.h"

#include <algorithm>

namespace evm {

std::vector<uint8_t> BuildWriteRequest(int address, int pointer, std::span<const uint8_t> data) {
  std::vector<uint8_t> payload(4 + data.size());
  payload[0] = kI2CWriteCommand;
  payload[1] = static_cast<uint8_t>(address * 2);
  payload[2] = static_cast<uint8_t>(pointer);
  payload[3] = static_cast<uint8_t>(data.size());
  std::copy(data.begin(), data.end(), payload.begin() + 4);
  return payload;
}

std::vector<uint8_t> BuildReadRequest(int address, int pointer, int count) {
  return {kI2CReadCommand, static_cast<uint8_t>(address * 2), static_cast<uint8_t>(pointer),
          static_cast<uint8_t>(address * 2 + 1), static_cast<uint8_t>(count)};
}

std::vector<uint8_t> BuildOutputReport(std::span<const uint8_t> payload, size_t outReportLength) {
  std::vector<uint8_t> report(std::max<size_t>(outReportLength, 1), 0);
  const size_t n = std::min(payload.size(), report.size() - 1);
  std::copy_n(payload.begin(), n, report.begin() + 1);
  return report;
}

std::vector<uint8_t> TransferBufferFromReport(std::span<const uint8_t> inputReport) {
  std::vector<uint8_t> buffer(kTransferBufferSize, 0);
  if (inputReport.size() > 1) {
    const size_t n = std::min(inputReport.size() - 1, buffer.size());
    std::copy_n(inputReport.begin() + 1, n, buffer.begin());
  }
  return buffer;
}

bool ReplyIsSuccess(std::span<const uint8_t> buffer, uint8_t command) {
  return buffer.size() >= 2 && buffer[0] == static_cast<uint8_t>(command | kReplyFlag) &&
         buffer[1] == 0;
}

}  // namespace evm
