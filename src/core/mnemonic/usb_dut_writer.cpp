// SPDX-License-Identifier: GPL-3.0-or-later
#include "mnemonic/usb_dut_writer.h"

#include <algorithm>
#include <cstdio>

#include "mnemonic/mnemonic_words.h"

namespace evm {

std::string LogNumber(long long value) {
  const std::string digits = std::to_string(value);
  return value < 0 ? digits : " " + digits;
}

std::string GeneralDateText(const DateTime& now) {
  const int hour12 = now.hour % 12 == 0 ? 12 : now.hour % 12;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%d/%d/%d %d:%02d:%02d %s", now.month, now.day, now.year,
                hour12, now.minute, now.second, now.hour < 12 ? "AM" : "PM");
  return buffer;
}

UsbDutWriter::UsbDutWriter(HidPlatform& hid, Clock& clock, UserInterface& ui, I2CResults& results,
                           std::optional<uint16_t>& usbAddress, bool& runWithoutUsb,
                           UsbDebugLog& log, uint16_t boardVendorId)
    : hid_(hid),
      clock_(clock),
      ui_(ui),
      results_(results),
      usbAddress_(usbAddress),
      runWithoutUsb_(runWithoutUsb),
      log_(log),
      boardVendorId_(boardVendorId) {}

void UsbDutWriter::ParseMnemonic(const std::string& text) {
  if (log_.UsbDebugLevel == DebugTrace::Mnemonic) log_.Entry(text);
  SequenceNumber = NextSequenceNumber(SequenceNumber);
  ParsedMnemonic parsed;
  parsed.report = MnemonicReport;  // bytes 32..40 are kept as they are
  ParseMnemonicText(text, SequenceNumber, parsed);
  MnemonicWords = parsed.words;
  MnemonicReport = parsed.report;
  MnemonicError = parsed.error;
  lastOutcome_ = {};
  if (!MnemonicError.empty()) {
    lastOutcome_ = {
        .failure = BoardFailure::Parse, .position = parsed.errorPosition, .detail = MnemonicError};
  }
  if (!MnemonicError.empty()) ui_.MessageBox(MnemonicErrorMessage(MnemonicError), "Error!");
}

void UsbDutWriter::SetOutcome(bool answered, bool stopped) {
  lastOutcome_ = {};
  if (!answered) {
    lastOutcome_.failure = stopped ? BoardFailure::Stopped : BoardFailure::Silent;
    return;
  }
  for (int i = 0; i < AckCount; ++i) {
    if (results_.I2C_AckStatus[static_cast<size_t>(i)] != 0) {
      lastOutcome_.failure = BoardFailure::NotAcknowledged;
      return;
    }
  }
}

bool UsbDutWriter::EchoMatches() const {
  return ResponseData[kReportSequenceByte] == MnemonicReport[kReportSequenceByte] + 1;
}

bool UsbDutWriter::SendMnemonic(const std::string& text) {
  if (runWithoutUsb_) {
    // Nothing is sent, so nothing was read: a converter reading or a script
    // check must not take the bytes of an earlier register read for an answer.
    results_.I2C_ReadData.fill(std::nullopt);
    ReadCount = 0;
    AckCount = 0;
    // Nothing waits without USB, so the operations that stop at a failed
    // exchange go on as the user chose.
    exchangeFailed_ = false;
    lastOutcome_ = {.failure = BoardFailure::Silent};
    return false;
  }
  ParseMnemonic(text);
  if (!MnemonicError.empty()) {
    // Not sent, so nothing was read either.
    results_.I2C_ReadData.fill(std::nullopt);
    ReadCount = 0;
    AckCount = 0;
    exchangeFailed_ = true;
    return false;
  }
  // Every failed answer gets one more try with the same report: a board
  // that was reset or plugged in again since the last command is found
  // anew by the retry, since a failed exchange lets go of the board. Each
  // try reads at most once, so a silent board costs two time-outs.
  bool stopped = false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt > 0 && stopRequested && stopRequested()) {
      stopped = true;
      break;
    }
    ExchangeReport();
    DecodeReadsAndAcks();
    ShowExchange();
    if (EchoMatches()) {
      SetOutcome(true, false);
      return true;
    }
  }
  exchangeFailed_ = true;
  SetOutcome(false, stopped);
  // An answer that failed its check is no reading: a converter read or a
  // script check must not take its bytes, nor those of an earlier transfer.
  results_.I2C_ReadData.fill(std::nullopt);
  ReadCount = 0;
  AckCount = 0;
  ShowUsbProblem();
  return false;
}

bool UsbDutWriter::ExchangeWithoutView(const std::string& text) {
  ParseMnemonic(text);
  if (!MnemonicError.empty()) {
    exchangeFailed_ = true;
    return false;
  }
  // The same check as a command's: a board that did not echo the report
  // did not take it, whatever it answered. Writing the same report again is
  // harmless, so a late answer gets its second try here too.
  for (int attempt = 0; attempt < 2; ++attempt) {
    ExchangeReport();
    DecodeReadsAndAcks();
    if (EchoMatches()) {
      SetOutcome(true, false);
      return true;
    }
    if (exchangeFailed_) break;
  }
  exchangeFailed_ = true;
  SetOutcome(false, false);
  results_.I2C_ReadData.fill(std::nullopt);
  if (!runWithoutUsb_) ShowUsbProblem();
  return false;
}

void UsbDutWriter::ShowUsbProblem() {
  ui_.SetUsbProblemDetail(SearchDetail());
  // The command is not repeated after the dialog, whatever the answer.
  switch (ui_.UsbProblemDialog()) {
    case UsbProblemChoice::RunWithoutUsb: runWithoutUsb_ = true; break;
    case UsbProblemChoice::AbortProgram:
      if (onAbortProgram) onAbortProgram();
      break;
    case UsbProblemChoice::TryAgain:
    case UsbProblemChoice::SetAddressAndTryAgain: break;
  }
}

void UsbDutWriter::ExchangeReport() {
  if (Verbose()) {
    log_.Entry("");
    log_.Entry("***** HID Test Report *****");
    log_.Entry(GeneralDateText(clock_.Now()));
  }
  exchangeFailed_ = true;
  if (!MnemonicBoardFound) FindMnemonicBoard();
  if (!MnemonicBoardFound) {
    // Nothing was answered: no byte of an earlier answer passes for this one.
    ResponseData.fill(0);
    return;
  }
  if (!WriteMnemonicReport()) {
    // No read waits for the answer to a report that never left. The handle
    // of an unplugged board fails every write, so the next exchange looks
    // for the board anew.
    CloseBoardHandles();
    ResponseData.fill(0);
    return;
  }
  exchangeFailed_ = !ReadMnemonicReport();
}

bool UsbDutWriter::WriteMnemonicReport() {
  const size_t length = MnemonicOutLength;
  std::vector<uint8_t> buffer(length, 0);
  for (size_t j = 1; j < length && j - 1 < MnemonicReport.size(); ++j) {
    buffer[j] = MnemonicReport[j - 1];
  }
  const bool written = hid_.WriteReport(MnemonicHidHandle, buffer);
  LogApiResult("WriteFile");
  if (Verbose()) {
    log_.Entry(" OutputReportByteLength = " + LogNumber(static_cast<long long>(length)));
    log_.Entry(" NumberOfBytesWritten = " +
               LogNumber(written ? static_cast<long long>(length) : 0));
    log_.Entry(" Report ID: " + LogNumber(buffer.empty() ? 0 : buffer[0]));
    log_.Entry(" Report Data:");
    for (size_t j = 1; j < length; ++j) log_.Entry(" " + HexText(buffer[j]));
  }
  return written;
}

bool UsbDutWriter::ReadMnemonicReport() {
  const size_t length = MnemonicInLength;
  std::vector<uint8_t> buffer(length, 0);
  const bool started = hid_.StartRead(MnemonicReadHandle, length);
  LogApiResult("ReadFile");
  Trace("waiting for ReadFile");

  std::vector<uint8_t> report;
  const HidWaitResult result =
      started ? hid_.WaitRead(MnemonicReadHandle, kReadTimeoutMs, report) : HidWaitResult::Failed;
  LogApiResult("WaitForSingleObject");
  switch (result) {
    case HidWaitResult::Signalled:
      Trace("ReadFile completed successfully.");
      std::copy_n(report.begin(), std::min(report.size(), length), buffer.begin());
      break;
    case HidWaitResult::TimedOut:
      Trace("Readfile timeout");
      hid_.CancelRead(MnemonicReadHandle);
      Trace("************ReadFile timeout*************");
      Trace("CancelIO");
      LogApiResult("CancelIo");
      CloseBoardHandles();
      break;
    case HidWaitResult::Failed:
      // Not the user's business, but worth a line in any trace; the board
      // is found again by the next exchange.
      if (log_.UsbDebugLevel != DebugTrace::Off) log_.Entry("Readfile undefined error");
      hid_.CancelRead(MnemonicReadHandle);
      CloseBoardHandles();
      break;
  }

  if (Verbose()) {
    log_.Entry(" Report ID: " + LogNumber(buffer.empty() ? 0 : buffer[0]));
    log_.Entry(" Report Data:");
  }
  for (size_t j = 1; j < length && j - 1 < ResponseData.size(); ++j) {
    ResponseData[j - 1] = buffer[j];
    if (Verbose()) {
      char hex[8];
      std::snprintf(hex, sizeof hex, " %02X", buffer[j]);
      log_.Entry(hex);
    }
  }
  hid_.ResetReadEvent(MnemonicEvent);
  LogApiResult("ResetEvent");
  return result == HidWaitResult::Signalled;
}

void UsbDutWriter::DecodeReadsAndAcks() {
  ReadCount = 0;
  AckCount = 0;
  int c = 0;
  for (size_t i = 0; i <= 31; ++i) {
    if (MnemonicWords[i + 3] == "R")
      results_.I2C_ReadData[static_cast<size_t>(c++)] = ResponseData[i];
    if (MnemonicWords[i] == "MEAS") {
      results_.I2C_ReadData[static_cast<size_t>(c++)] = ResponseData[i];
    }
  }
  ReadCount = c;
  c = 0;
  for (size_t i = 0; i <= 31; ++i) {
    if (MnemonicWords[i + 3] == "ACKS") {
      results_.I2C_AckStatus[static_cast<size_t>(c++)] = ResponseData[i];
    }
  }
  AckCount = c;
}

void UsbDutWriter::ShowExchange() {
  for (size_t i = 0; i < 32; ++i) {
    exchange.txtToUSB[i] = HexText(MnemonicReport[i]);
    exchange.txtFromUSB[i] = HexText(ResponseData[i]);
  }
  const bool mnemonicTrace = log_.UsbDebugLevel == DebugTrace::Mnemonic;
  exchange.Text1.clear();
  for (int i = 0; i < ReadCount; ++i) {
    const std::string entry =
        HexText(results_.I2C_ReadData[static_cast<size_t>(i)].value_or(0)) + " ";
    exchange.Text1 += entry;
    if (mnemonicTrace) log_.Append(entry);
  }
  if (mnemonicTrace && ReadCount > 0) log_.Append("\r\n");
  exchange.Text2.clear();
  for (int i = 0; i < AckCount; ++i) {
    const std::string entry = HexText(results_.I2C_AckStatus[static_cast<size_t>(i)]) + " ";
    exchange.Text2 += entry;
    if (mnemonicTrace) log_.Append(entry);
  }
  if (mnemonicTrace && AckCount > 0) log_.Append("\r\n");
  if (onExchangeShown) onExchangeShown();
}

void UsbDutWriter::WaitSeconds(double seconds) {
  const double start = clock_.SecondsSinceMidnight();
  double now = start;
  // A wait across midnight ends at midnight, when the clock starts again.
  while (now < start + seconds && now >= start && !clock_.StopRequested()) {
    clock_.SleepMs(1);
    now = clock_.SecondsSinceMidnight();
  }
}

}  // namespace evm
