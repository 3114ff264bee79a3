// SPDX-License-Identifier: GPL-3.0-or-later
#include "reglink/register_link.h"

#include <algorithm>

#include "hid/board_discovery.h"
#include "hid/board_ids.h"
#include "reglink/reglink_reports.h"

namespace evm {

RegisterLink::RegisterLink(HidPlatform& hid, Clock& clock, I2CResults& results,
                           uint16_t boardVendorId)
    : hid_(hid), clock_(clock), results_(results), boardVendorId_(boardVendorId) {}

bool RegisterLink::OpenRegLink() {
  if (LinkOpen_) return true;
  LinkOpen_ = FindRegBoard();
  return LinkOpen_;
}

bool RegisterLink::FindRegBoard() {
  LinkOpen_ = false;
  const auto boards = DiscoverBoards(hid_, boardVendorId_);
  // Any interface that would not open may be the board, held by another
  // program or barred by the system.
  unopened_ = static_cast<int>(std::count_if(boards.begin(), boards.end(),
                                             [](const BoardListing& b) { return !b.openable; }));
  const BoardChoice choice = ChooseBoard(
      boards, [](const BoardListing& b) { return b.kind == BoardKind::RegLink; }, SelectedBoard);
  ChoiceNote = choice.why;
  if (!choice.selectedFound && SelectionRequired && !SelectedBoard.empty()) return false;
  if (!choice.board) return false;
  WriteHandle_ = hid_.Open(choice.board->path, false);
  if (WriteHandle_ == kInvalidHidHandle) return false;
  DevicePath_ = choice.board->path;
  LinkOpen_ = true;

  GetReportSizes();
  ReadHandle_ = hid_.Open(DevicePath_, true);
  if (ReadHandle_ == kInvalidHidHandle) {
    // Half a link is no link: the invariant says both handles or none.
    hid_.Close(WriteHandle_);
    WriteHandle_ = kInvalidHidHandle;
    LinkOpen_ = false;
    return false;
  }
  PrepareReadEvent();
  return true;
}

void RegisterLink::GetReportSizes() {
  const auto caps = hid_.GetCaps(WriteHandle_);
  InReportLength_ = caps && caps->inputReportByteLength ? caps->inputReportByteLength
                                                        : kRegLinkDefaultReportLength;
  OutReportLength_ = caps && caps->outputReportByteLength ? caps->outputReportByteLength
                                                          : kRegLinkDefaultReportLength;
}

void RegisterLink::PrepareReadEvent() {
  if (!readEventCreated_) {
    ReadEvent_ = hid_.CreateReadEvent();
    readEventCreated_ = true;
  }
}

void RegisterLink::CloseHandles() {
  if (WriteHandle_ != kInvalidHidHandle) hid_.Close(WriteHandle_);
  if (ReadHandle_ != kInvalidHidHandle) hid_.Close(ReadHandle_);
  WriteHandle_ = kInvalidHidHandle;
  ReadHandle_ = kInvalidHidHandle;
}

void RegisterLink::CloseRegLink() {
  CloseHandles();
  LinkOpen_ = false;
}

bool RegisterLink::SendReport(std::span<const uint8_t> payload) {
  if (hid_.WriteReport(WriteHandle_, BuildOutputReport(payload, OutReportLength_))) return true;
  // A handle whose board was unplugged fails every write and never times
  // out a read, so only a fresh discovery finds the board again.
  CloseHandles();
  LinkOpen_ = false;
  return false;
}

bool RegisterLink::ReceiveReport(std::vector<uint8_t>& buffer) {
  std::vector<uint8_t> report;
  HidWaitResult result = HidWaitResult::Failed;
  if (hid_.StartRead(ReadHandle_, InReportLength_)) {
    result = hid_.WaitRead(ReadHandle_, kReplyTimeoutMs, report);
  }
  const bool signalled = result == HidWaitResult::Signalled;
  if (!signalled) {
    hid_.CancelRead(ReadHandle_);
    CloseHandles();
    LinkOpen_ = false;
  } else {
    report.resize(InReportLength_, 0);
    buffer = TransferBufferFromReport(report);
  }
  hid_.ResetReadEvent(ReadEvent_);
  return signalled;
}

bool RegisterLink::Transfer(std::span<const uint8_t> payload, uint8_t command, int settleMs,
                            std::vector<uint8_t>& buffer) {
  clock_.SleepMs(settleMs);
  lastFault_ = LinkFault::NoAnswer;
  if (!SendReport(payload) || !ReceiveReport(buffer)) return false;
  // A reply to another request, or noise, is no answer; only the chip's
  // own status says it did not acknowledge.
  if (buffer.size() < 2 || buffer[0] != static_cast<uint8_t>(command | kReplyFlag)) return false;
  lastFault_ = LinkFault::NotAcknowledged;
  if (!ReplyIsSuccess(buffer, command)) return false;
  lastFault_ = LinkFault::None;
  return true;
}

bool RegisterLink::I2CWrite(int address, int pointer, int count, std::span<const uint8_t> data,
                            int settleMs) {
  lastFault_ = LinkFault::NoBoard;
  if (!LinkOpen_) {
    LinkOpen_ = FindRegBoard();
    if (!LinkOpen_) return false;
  }
  lastFault_ = LinkFault::NoAnswer;
  // Arguments that cannot be put into a request are refused before anything
  // goes on the wire.
  const int maxCount = std::min(97, static_cast<int>(OutReportLength_) - 5);
  if (address < 0 || address > 127 || pointer < 0 || pointer > 255 || count < 0 ||
      count > maxCount || static_cast<size_t>(count) > data.size()) {
    return false;
  }
  const auto payload = BuildWriteRequest(address, pointer, data.first(static_cast<size_t>(count)));
  std::vector<uint8_t> buffer;
  return Transfer(payload, kI2CWriteCommand, settleMs, buffer);
}

bool RegisterLink::I2CRead(int address, int pointer, int count, std::span<uint8_t> data,
                           int settleMs) {
  lastFault_ = LinkFault::NoBoard;
  if (!LinkOpen_) {
    LinkOpen_ = FindRegBoard();
    if (!LinkOpen_) return false;
  }
  lastFault_ = LinkFault::NoAnswer;
  const int maxCount = std::min(99, static_cast<int>(InReportLength_) - 3);
  if (address < 0 || address > 127 || pointer < 0 || pointer > 255 || count < 0 ||
      count > maxCount || static_cast<size_t>(count) > data.size()) {
    return false;
  }
  const auto payload = BuildReadRequest(address, pointer, count);
  std::vector<uint8_t> buffer;
  if (!Transfer(payload, kI2CReadCommand, settleMs, buffer)) return false;
  for (int i = 1; i <= count; ++i)
    data[static_cast<size_t>(i - 1)] = buffer[static_cast<size_t>(i + 1)];
  return true;
}

void RegisterLink::ReadRegWord(int address, int pointer) {
  uint8_t data[2] = {0, 0};
  if (I2CRead(address, pointer, 2, data, kRegisterSettleMs)) {
    results_.I2C_AckStatus[0] = 0;
    results_.I2C_ReadData[0] = data[0];
    results_.I2C_ReadData[1] = data[1];
  } else {
    results_.I2C_AckStatus[0] = 1;
  }
}

bool RegisterLink::WriteRegWord(int address, int pointer, uint8_t msb, uint8_t lsb) {
  const uint8_t data[2] = {msb, lsb};
  return I2CWrite(address, pointer, 2, data, kRegisterSettleMs);
}

}  // namespace evm
