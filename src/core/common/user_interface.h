// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace evm {

// What the user answered in the USB-problem dialog.
enum class UsbProblemChoice { TryAgain, RunWithoutUsb, AbortProgram, SetAddressAndTryAgain };

struct FileDialogRequest {
  std::string title;
  std::string filter;  // "Text (*.txt)|*.txt|All (*.*)|*.*" style pairs
  std::string initialFolder;
  std::string defaultName;
};

// Everything core asks of the person at the screen. The Qt program answers
// with dialogs, the command line with standard streams, tests from a queue.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  virtual void MessageBox(const std::string& text, const std::string& title) = 0;
  // Modal; "Set Address and Try Again" has already shown the address window
  // modally when this returns SetAddressAndTryAgain.
  virtual UsbProblemChoice UsbProblemDialog() = 0;
  // What the search before the next USB-problem dialog looked for and met.
  virtual void SetUsbProblemDetail(const std::string& detail) { (void)detail; }
  // The monthly reminder, modal.
  virtual void ShowReminder() = 0;
  // nullopt when cancelled.
  virtual std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                              const std::string& defaultText) = 0;
  virtual std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) = 0;
  virtual void Beep() = 0;
  virtual void ProcessEvents() = 0;
};

}  // namespace evm
