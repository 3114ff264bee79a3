#include "mnemonic/usb_debug_log.h"

namespace evm {

void UsbDebugLog::Append(std::string_view text) {
  if (text.empty()) return;
  text_.append(text);
  if (onAppended) onAppended(text);
}

void UsbDebugLog::Entry(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  Append(line);
}

void UsbDebugLog::Clear() {
  text_.clear();
  if (onCleared) onCleared();
}

std::string DebugButtonCaption(const UsbDebugLog& log) {
  return log.UsbDebugLevel == 0 ? "Press for Debug" : "Press to Turn off Debug";
}

void DebugToggleClick(UsbDebugLog& log, const DebugUsbPanel& panel) {
  if (log.UsbDebugLevel == 0) {
    log.UsbDebugLevel = panel.chkVerbose ? 1 : 2;
  } else {
    log.UsbDebugLevel = 0;
  }
}

void DebugVerboseClick(UsbDebugLog& log, DebugUsbPanel& panel, bool checked) {
  panel.chkVerbose = checked;
  if (log.UsbDebugLevel != 0) log.UsbDebugLevel = checked ? 1 : 2;
}

}  // namespace evm
