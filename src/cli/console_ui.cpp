// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/console_ui.h"

namespace evm::cli {

void ConsoleUi::MessageBox(const std::string& text, const std::string& title) {
  ++messages;
  std::string line = text;
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  err_ << "evmctl: " << (title.empty() ? "" : title + ": ") << line << "\n";
}

UsbProblemChoice ConsoleUi::UsbProblemDialog() {
  ++usbProblems;
  err_ << "evmctl: USB Communication Problem: the board did not answer\n";
  // Nobody can plug a cable in here: go on without the board and let the
  // command report the failure.
  return UsbProblemChoice::RunWithoutUsb;
}

std::optional<std::string> ConsoleUi::InputBox(const std::string& prompt, const std::string&,
                                               const std::string&) {
  err_ << "evmctl: no answer can be given to \"" << prompt << "\"\n";
  return std::nullopt;
}

}  // namespace evm::cli
