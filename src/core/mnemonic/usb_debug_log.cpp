// SPDX-License-Identifier: GPL-3.0-or-later
#include "mnemonic/usb_debug_log.h"

#include <algorithm>

namespace evm {

std::string DroppedLinesMarker(size_t dropped) {
  return "--- " + std::to_string(dropped) + " earlier lines dropped ---\r\n";
}

void UsbDebugLog::Append(std::string_view text) {
  if (text.empty()) return;
  text_.append(text);
  lines_ += static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  // Trimming waits for a quarter more than the limits, so its cost, which
  // is that of the kept text, is spread over many entries.
  if (lines_ > kKeptLines + kKeptLines / 4 || text_.size() > kKeptBytes + kKeptBytes / 4) {
    DropOldest();
  }
  if (onAppended) onAppended(text);
}

void UsbDebugLog::DropOldest() {
  size_t cut = markerSize_;
  size_t dropping = 0;
  // Whole lines only: the newest line may still be growing.
  while (lines_ - dropping > kKeptLines || text_.size() - cut > kKeptBytes) {
    const size_t end = text_.find('\n', cut);
    if (end == std::string::npos) break;
    cut = end + 1;
    ++dropping;
  }
  if (dropping == 0) return;
  dropped_ += dropping;
  lines_ -= dropping;
  std::string marker = DroppedLinesMarker(dropped_);
  markerSize_ = marker.size();
  marker.append(text_, cut, std::string::npos);
  text_ = std::move(marker);
}

void UsbDebugLog::Entry(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  Append(line);
}

void UsbDebugLog::Clear() {
  text_.clear();
  markerSize_ = 0;
  lines_ = 0;
  dropped_ = 0;
  if (onCleared) onCleared();
}
std::string DebugButtonCaption(const UsbDebugLog& log) {
  return log.UsbDebugLevel == DebugTrace::Off ? "Press for Debug" : "Press to Turn off Debug";
}

void DebugToggleClick(UsbDebugLog& log, const DebugUsbPanel& panel) {
  if (log.UsbDebugLevel == DebugTrace::Off) {
    log.UsbDebugLevel = panel.chkVerbose ? DebugTrace::Hid : DebugTrace::Mnemonic;
  } else {
    log.UsbDebugLevel = DebugTrace::Off;
  }
}

void DebugVerboseClick(UsbDebugLog& log, DebugUsbPanel& panel, bool checked) {
  panel.chkVerbose = checked;
  if (log.UsbDebugLevel != DebugTrace::Off) {
    log.UsbDebugLevel = checked ? DebugTrace::Hid : DebugTrace::Mnemonic;
  }
}

}  // namespace evm
