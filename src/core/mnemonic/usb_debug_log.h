#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace evm {

// The USB debug log and the level that decides what goes into it: 0 off,
// 1 HID trace, 2 mnemonic trace. The debug window observes it; the log
// only ever grows at its end, so an entry costs the same however long the
// session has been logging.
class UsbDebugLog {
 public:
  int UsbDebugLevel = 0;

  void Append(std::string_view text);
  // One entry: the text and CR LF.
  void Entry(std::string_view text);
  void Clear();
  const std::string& Text() const { return text_; }

  // The window's view of the log; unset while no window shows it.
  std::function<void(std::string_view)> onAppended;
  std::function<void()> onCleared;

 private:
  std::string text_;
};

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
