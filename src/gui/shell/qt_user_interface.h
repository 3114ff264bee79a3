// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "common/user_interface.h"

namespace evm::gui {

// The user interface seam answered with Qt dialogs.
class QtUserInterface final : public UserInterface {
 public:
  void SetParentWindow(QWidget* parent) { parent_ = parent; }
  // Shows the address window modally for "Set Address and Try Again".
  void SetAddressWindowOpener(std::function<void()> opener) { openAddress_ = std::move(opener); }

  void MessageBox(const std::string& text, const std::string& title) override;
  UsbProblemChoice UsbProblemDialog() override;
  void SetUsbProblemDetail(const std::string& detail) override { usbDetail_ = detail; }
  void ShowReminder() override;
  std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                      const std::string& defaultText) override;
  std::optional<std::string> OpenFileDialog(const FileDialogRequest& request) override;
  std::optional<std::string> SaveFileDialog(const FileDialogRequest& request) override;
  void Beep() override;
  void ProcessEvents() override;

 private:
  // The window the user works in owns the dialogs it asked for. Right after
  // a file dialog no window is active yet: the one that opened it still is
  // the one the user works in.
  QWidget* Owner();

  QWidget* parent_ = nullptr;
  QPointer<QWidget> lastActive_;
  std::string usbDetail_;
  std::function<void()> openAddress_;
};

// "Text (*.txt)|*.txt|All (*.*)|*.*" as a Qt name filter list, each
// description followed by its pattern in parentheses.
QString QtFileFilter(const std::string& filter);
// "csv" of "Csv Files (*.csv)"; empty unless the filter has one pattern of
// one suffix.
QString FilterSuffix(const QString& nameFilter);

}  // namespace evm::gui
