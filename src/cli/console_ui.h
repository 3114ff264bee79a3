// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>

#include "common/user_interface.h"

namespace evm::cli {

// The user interface of a program nobody sits in front of: messages become
// lines on standard error, questions get the answer that stops the work.
class ConsoleUi final : public UserInterface {
 public:
  explicit ConsoleUi(std::ostream& err) : err_(err) {}

  void MessageBox(const std::string& text, const std::string& title) override;
  UsbProblemChoice UsbProblemDialog() override;
  void ShowReminder() override {}
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  // The file a command was given stands in for the user's choice, so the
  // menu commands of core run as they are.
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override {
    return fileAnswer;
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override {
    return fileAnswer;
  }
  void Beep() override {}
  void ProcessEvents() override {}

  std::optional<std::string> fileAnswer;
  int messages = 0;
  int usbProblems = 0;

 private:
  std::ostream& err_;
};

}  // namespace evm::cli
