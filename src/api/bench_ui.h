// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>

#include "common/user_interface.h"

namespace evm {

// The user interface a Bench gives core: nothing blocks and nobody is asked.
// Messages are notices (the operations' failures come back as outcomes),
// and the USB-problem dialog is answered "run without USB", so a silent
// board costs one time-out and the operation then reports it.
class BenchUi final : public UserInterface {
 public:
  explicit BenchUi(std::function<void(const std::string&)> notice) : notice_(std::move(notice)) {}

  void MessageBox(const std::string& text, const std::string& title) override;
  UsbProblemChoice UsbProblemDialog() override {
    if (notice_) notice_("USB Communication Problem: the board did not answer");
    return UsbProblemChoice::RunWithoutUsb;
  }
  void SetUsbProblemDetail(const std::string& detail) override { usbProblemDetail = detail; }
  void ShowReminder() override {}
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> OpenFileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const FileDialogRequest&) override {
    return std::nullopt;
  }
  void Beep() override {}
  void ProcessEvents() override {}

  // Forgets what an earlier operation left.
  void Reset() { usbProblemDetail.clear(); }

  std::string usbProblemDetail;
  // While set, messages are taken by it instead of the notice hook.
  std::function<bool(const std::string&)> intercept;

 private:
  std::function<void(const std::string&)> notice_;
};

}  // namespace evm
