// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/user_interface.h"

namespace evm::test {

// Answers every question from a queue and records everything it was asked
// or shown, so a test can assert message texts word for word.
class RecordingUi : public UserInterface {
 public:
  struct Message {
    std::string text;
    std::string title;
  };

  void MessageBox(const std::string& text, const std::string& title) override {
    messages.push_back({text, title});
    if (onMessage) onMessage();
  }
  void SetUsbProblemDetail(const std::string& detail) override { usbProblemDetail = detail; }
  UsbProblemChoice UsbProblemDialog() override {
    ++usbProblemDialogs;
    if (onUsbProblemDialog) onUsbProblemDialog();
    if (usbProblemAnswers.empty()) return UsbProblemChoice::AbortProgram;
    const UsbProblemChoice c = usbProblemAnswers.front();
    usbProblemAnswers.pop_front();
    return c;
  }
  void ShowReminder() override { ++reminders; }
  std::optional<std::string> InputBox(const std::string& prompt, const std::string&,
                                      const std::string&) override {
    inputPrompts.push_back(prompt);
    return Pop(inputAnswers);
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override {
    fileDialogs.push_back(request);
    return Pop(openFileAnswers);
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override {
    fileDialogs.push_back(request);
    return Pop(saveFileAnswers);
  }
  void Beep() override { ++beeps; }
  void ProcessEvents() override {
    ++eventPasses;
    if (onProcessEvents) onProcessEvents();
  }

  std::vector<Message> messages;
  std::deque<UsbProblemChoice> usbProblemAnswers;
  int usbProblemDialogs = 0;
  std::string usbProblemDetail;  // as set before the last dialog
  int reminders = 0;
  std::vector<std::string> inputPrompts;
  std::deque<std::optional<std::string>> inputAnswers;
  std::vector<FileDialogRequest> fileDialogs;
  std::deque<std::optional<std::string>> openFileAnswers;
  std::deque<std::optional<std::string>> saveFileAnswers;
  int beeps = 0;
  int eventPasses = 0;
  // Lets a test act "while the window is responsive", e.g. press Stop.
  std::function<void()> onProcessEvents;
  // Lets a test look at the window while a message is up.
  std::function<void()> onMessage;
  // Lets a test change the boards while the USB-problem dialog is up.
  std::function<void()> onUsbProblemDialog;

 private:
  static std::optional<std::string> Pop(std::deque<std::optional<std::string>>& q) {
    if (q.empty()) return std::nullopt;
    auto v = q.front();
    q.pop_front();
    return v;
  }
};

}  // namespace evm::test
