// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/i2c_results.h"
#include "hid/hid_platform.h"

namespace evm {

// Why the last transfer failed: the link itself (no board, no answer, a
// garbled one) or the chip behind it (a NACK).
enum class LinkFault { None, NoBoard, NoAnswer, NotAcknowledged };

// The register link (module i2cKVUSB): the lean HID connection to the board
// that carries one I2C transaction of the ZM5520/1's bus per report.
class RegisterLink {
 public:
  static constexpr int kRegisterSettleMs = 100;
  static constexpr int kReplyTimeoutMs = 1000;

  RegisterLink(HidPlatform& hid, Clock& clock, I2CResults& results, uint16_t boardVendorId);

  bool OpenRegLink();
  bool FindRegBoard();
  void CloseRegLink();

  bool I2CWrite(int address, int pointer, int count, std::span<const uint8_t> data, int settleMs);
  // On success the first `count` bytes of `data` receive the bytes read; on
  // failure `data` is left as it was.
  bool I2CRead(int address, int pointer, int count, std::span<uint8_t> data, int settleMs);

  void ReadRegWord(int address, int pointer);
  // The callers ignore the outcome, as the register cycle does; it is
  // returned for the command line, which reports it.
  bool WriteRegWord(int address, int pointer, uint8_t msb, uint8_t lsb);

  bool LinkOpen() const { return LinkOpen_; }
  LinkFault LastFault() const { return lastFault_; }
  // HID interfaces the last search could not open (no access, or in use).
  int UnopenedInterfaces() const { return unopened_; }
  const std::string& DevicePath() const { return DevicePath_; }

  // The board to take among several, by serial number or path; empty takes
  // the first. With `SelectionRequired` a selected board that is absent
  // leaves the link closed instead of falling back to the first.
  std::string SelectedBoard;
  bool SelectionRequired = false;
  // Which board the last discovery took and why.
  std::string ChoiceNote;

 private:
  bool SendReport(std::span<const uint8_t> payload);
  bool ReceiveReport(std::vector<uint8_t>& buffer);
  void GetReportSizes();
  void PrepareReadEvent();
  void CloseHandles();

  HidPlatform& hid_;
  Clock& clock_;
  I2CResults& results_;
  uint16_t boardVendorId_;

  bool Transfer(std::span<const uint8_t> payload, uint8_t command, int settleMs,
                std::vector<uint8_t>& buffer);

  bool LinkOpen_ = false;
  LinkFault lastFault_ = LinkFault::None;
  int unopened_ = 0;
  HidHandle WriteHandle_ = kInvalidHidHandle;
  HidHandle ReadHandle_ = kInvalidHidHandle;
  HidEvent ReadEvent_ = 0;
  bool readEventCreated_ = false;
  std::string DevicePath_;
  uint16_t InReportLength_ = 0;
  uint16_t OutReportLength_ = 0;
};

}  // namespace evm
