// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace evm {

// What the USB debug log records: nothing, every HID call of an exchange,
// or the mnemonic texts sent.
enum class DebugTrace { Off, Hid, Mnemonic };

// The USB debug log and the level that decides what goes into it. The debug window observes it. A
// verbose session writes about 90 lines per exchange, so the log keeps only the newest lines: past
// the limits below the oldest go, and one line at the top says how many. The observer sees every
// text appended, so a copy kept from it loses nothing.
class UsbDebugLog {
 public:
  static constexpr size_t kKeptLines = 10000;
  static constexpr size_t kKeptBytes = size_t{2} * 1024 * 1024;

  DebugTrace UsbDebugLevel = DebugTrace::Off;

  void Append(std::string_view text);
  // One entry: the text and CR LF.
  void Entry(std::string_view text);
  void Clear();
  const std::string& Text() const { return text_; }
  // Lines dropped from the top since the log was last cleared.
  size_t DroppedLines() const { return dropped_; }

  // The window's view of the log; unset while no window shows it.
  std::function<void(std::string_view)> onAppended;
  std::function<void()> onCleared;

 private:
  void DropOldest();

  std::string text_;  // the marker line, once lines were dropped, then the kept lines
  size_t markerSize_ = 0;
  size_t lines_ = 0;  // line ends kept
  size_t dropped_ = 0;
};

// The line that stands for the `dropped` oldest lines.
std::string DroppedLinesMarker(size_t dropped);

// frmDebugUSB's switches, kept beside the log so that a reopened window
// shows the state logging is in.
struct DebugUsbPanel {
  bool chkVerbose = false;
};

std::string DebugButtonCaption(const UsbDebugLog& log);
// "Press for Debug" / "Press to Turn off Debug".
void DebugToggleClick(UsbDebugLog& log, const DebugUsbPanel& panel);
// Ticking "Verbose Output" changes the level only while logging is on.
void DebugVerboseClick(UsbDebugLog& log, DebugUsbPanel& panel, bool checked);

}  // namespace evm
