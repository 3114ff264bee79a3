// SPDX-License-Identifier: GPL-3.0-or-later
#include "devices/sim/reglink_board.h"

namespace evm::sim {

namespace {
constexpr uint8_t kWrite = 0x14, kRead = 0x15, kReplyFlag = 0x80;
constexpr uint8_t kStatusNack = 0x01, kStatusBadRequest = 0x02;
}  // namespace

HidCaps RegLinkBoard::Caps() const {
  return VendorReportCaps(0xFF00, reportLength_);
}

std::optional<std::vector<uint8_t>> RegLinkBoard::HandleOutputReport(
    const std::vector<uint8_t>& report) {
  std::vector<uint8_t> payload(report.begin() + (report.empty() ? 0 : 1), report.end());
  RememberReport(requests_, payload);
  ++requestCount_;
  payload.resize(8, 0);

  std::vector<uint8_t> reply(reportLength_, 0);  // reply[0] is the report id
  const uint8_t command = payload[0];
  reply[1] = static_cast<uint8_t>(command | kReplyFlag);
  uint8_t status = 0;
  if (command == kWrite) {
    const uint8_t count = payload[3];
    std::vector<uint8_t> data;
    for (size_t i = 0; i < count && 5 + i < report.size(); ++i) data.push_back(report[5 + i]);
    const bool addressIsWrite = (payload[1] & 1) == 0;
    if (!addressIsWrite || !device_.Write(payload[1] >> 1, payload[2], data)) status = kStatusNack;
  } else if (command == kRead) {
    const int count = payload[4];
    const bool addressesMatch = (payload[1] | 1) == payload[3] && (payload[1] & 1) == 0;
    const auto bytes =
        addressesMatch ? device_.Read(payload[1] >> 1, payload[2], count) : std::nullopt;
    if (!bytes || 3 + bytes->size() > reply.size()) {
      status = kStatusNack;
    } else {
      for (size_t i = 0; i < bytes->size(); ++i) reply[3 + i] = (*bytes)[i];
    }
  } else {
    status = kStatusBadRequest;
  }
  reply[2] = forcedStatus != 0 ? forcedStatus : status;
  if (wrongReplyCode) reply[1] = static_cast<uint8_t>(reply[1] ^ 0x01);
  if (echoRequest) {
    for (size_t i = 1; i < reply.size(); ++i) reply[i] = i <= payload.size() ? payload[i - 1] : 0;
  }
  if (garbageAnswer) {
    for (size_t i = 1; i < reply.size(); ++i) {
      noise_ = noise_ * 1664525u + 1013904223u;
      reply[i] = static_cast<uint8_t>(noise_ >> 24);
    }
    // Noise that happens to read as success would be no fault at all.
    if (reply[1] == (command | kReplyFlag)) reply[1] ^= 0x5A;
  }
  return reply;
}

void RegLinkBoard::Inject(SimFault fault) {
  switch (fault) {
    case SimFault::WrongReplyCode: wrongReplyCode = true; break;
    case SimFault::NonZeroStatus: forcedStatus = kStatusNack; break;
    case SimFault::WrongEcho: echoRequest = true; break;
    case SimFault::Garbage: garbageAnswer = true; break;
    default: SimDevice::Inject(fault); break;
  }
}

}  // namespace evm::sim
