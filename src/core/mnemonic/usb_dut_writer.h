// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/board_outcome.h"
#include "common/clock.h"
#include "common/i2c_results.h"
#include "common/user_interface.h"
#include "hid/hid_platform.h"
#include "mnemonic/mnemonic_language.h"
#include "mnemonic/usb_debug_log.h"

namespace evm {

// What the raw-command window shows of the last exchange; kept here so the
// window shows it whenever it is opened.
struct DutExchangeView {
  std::array<std::string, 32> txtToUSB{};
  std::array<std::string, 32> txtFromUSB{};
  std::string Text1;  // "Read Response"
  std::string Text2;  // "Command Response"
};

// The interface board's command path (module USB_DutWriter): the mnemonic
// parse, the board's own HID connection with its debug trace, and the
// command transaction with the decoding of the answer.
class UsbDutWriter {
 public:
  static constexpr int kReadTimeoutMs = 6000;

  // `usbAddress` and `runWithoutUsb` are the program's, shared with start-up
  // and the Set Address window.
  UsbDutWriter(HidPlatform& hid, Clock& clock, UserInterface& ui, I2CResults& results,
               std::optional<uint16_t>& usbAddress, bool& runWithoutUsb, UsbDebugLog& log,
               uint16_t boardVendorId);

  // Language.
  void ParseMnemonic(const std::string& text);

  // Transaction.
  // True when the board answered the command.
  bool SendMnemonic(const std::string& text);
  // A report sent past the raw-command view and whatever RunWithoutUsb
  // says (the DAC's path). True when the board took it; otherwise the
  // USB-problem dialog was offered, unless the user runs without USB.
  bool ExchangeWithoutView(const std::string& text);
  void ExchangeReport();
  void DecodeReadsAndAcks();
  void ShowExchange();
  void WaitSeconds(double seconds);

  // Connection.
  bool FindMnemonicBoard();
  // Lets go of the board, so the next exchange finds one afresh.
  void CloseMnemonicBoard() {
    if (MnemonicHidHandle != kInvalidHidHandle || MnemonicReadHandle != kInvalidHidHandle) {
      CloseBoardHandles();
    }
  }
  // For the USB-problem dialog: the board and ids looked for, and devices
  // that may be the board but cannot be opened.
  std::string SearchDetail();
  void LogApiResult(const std::string& name);
  std::string SystemErrorText(uint32_t code);

  MnemonicWordArray MnemonicWords{};
  MnemonicReportArray MnemonicReport{};
  uint8_t SequenceNumber = 0;
  std::string MnemonicError;

  std::array<uint8_t, kMnemonicSlots> ResponseData{};
  int ReadCount = 0;
  int AckCount = 0;

  bool MnemonicBoardFound = false;
  HidHandle MnemonicHidHandle = kInvalidHidHandle;
  HidHandle MnemonicReadHandle = kInvalidHidHandle;
  HidEvent MnemonicEvent = 0;
  std::string DevicePath;
  uint16_t MnemonicInLength = 0;
  uint16_t MnemonicOutLength = 0;

  DutExchangeView exchange;
  // Told after every ShowExchange, so an open raw-command window redraws.
  std::function<void()> onExchangeShown;
  // "Abort Program" in the USB-problem dialog ends the program; the window
  // layer knows how.
  std::function<void()> onAbortProgram;
  // Asked before the retry of a failed exchange: true (the user asked the
  // command to end) gives up at once instead of waiting out a second try.
  std::function<bool()> stopRequested;

  // The last exchange got no usable answer: no board, a failed write or
  // read, a time-out, or an answer whose echo never matched.
  bool LastExchangeFailed() const { return exchangeFailed_; }
  // What the last exchange read and acknowledged.
  const I2CResults& Results() const { return results_; }
  // How the last SendMnemonic or ExchangeWithoutView ended: not sent (a
  // text that does not parse, or no USB), no usable answer, stopped before
  // its retry, or answered with an acknowledge bit of a device not 00.
  const BoardOutcome& LastOutcome() const { return lastOutcome_; }

  // The interface board to take among several (serial number or path); as
  // on the register link.
  std::string SelectedBoard;
  bool SelectionRequired = false;

 private:
  bool WriteMnemonicReport();
  bool ReadMnemonicReport();
  void GetMnemonicCaps();
  void PrepareMnemonicEvent();
  void CloseBoardHandles();
  bool Verbose() const { return log_.UsbDebugLevel == DebugTrace::Hid; }
  void Trace(const std::string& line) {
    if (Verbose()) log_.Entry(line);
  }
  bool EchoMatches() const;
  void ShowUsbProblem();
  // The outcome of an exchange that was sent and got `answered`.
  void SetOutcome(bool answered, bool stopped);

  HidPlatform& hid_;
  Clock& clock_;
  UserInterface& ui_;
  I2CResults& results_;
  std::optional<uint16_t>& usbAddress_;
  bool& runWithoutUsb_;
  UsbDebugLog& log_;
  uint16_t boardVendorId_;
  bool eventCreated_ = false;
  bool exchangeFailed_ = false;
  BoardOutcome lastOutcome_;
};

// A number as the log writes it after "=" or ":": a leading space when it
// is not negative.
std::string LogNumber(long long value);

// The platform's general date format: "1/15/2026 9:00:00 AM".
std::string GeneralDateText(const DateTime& now);

}  // namespace evm
