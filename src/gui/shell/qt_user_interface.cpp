// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/qt_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <cstdio>

#include "gui/shell/frm_check_software_rev.h"
#include "gui/shell/frm_usb_com_prob.h"
#include "registers/register_display.h"
#include "shell/set_usb_address.h"

namespace evm::gui {

QString QtFileFilter(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    // Qt filters by the last parenthesised part and, with the details
    // hidden, shows what comes before it: the description as it stands,
    // even one naming another pattern ("Result (*.RSL)" lists *.txt).
    const QString pattern = QString(parts[i + 1]).replace(';', ' ');
    filters << parts[i] + " (" + pattern + ")";
  }
  return filters.join(";;");
}

QString FilterSuffix(const QString& nameFilter) {
  // Qt filters by the last parenthesised part.
  const qsizetype open = nameFilter.lastIndexOf('(');
  const qsizetype close = nameFilter.lastIndexOf(')');
  if (open < 0 || close < open) return {};
  const QRegularExpression onePattern("^\\s*\\*\\.([A-Za-z0-9]+)\\s*$");
  const QRegularExpressionMatch m = onePattern.match(nameFilter.mid(open + 1, close - open - 1));
  return m.hasMatch() ? m.captured(1) : QString();
}

QWidget* QtUserInterface::Owner() {
  if (QWidget* active = QApplication::activeWindow()) lastActive_ = active;
  return lastActive_ ? lastActive_.data() : parent_;
}

void QtUserInterface::MessageBox(const std::string& text, const std::string& title) {
  // Most messages report a fault; the few that only inform carry no warning.
  const bool notice =
      title == "About" || text == "PRESS TO CONTINUE" || text == JumperSettingsMessage();
  // A message without a title of its own carries the program's.
  QMessageBox box(notice ? QMessageBox::Information : QMessageBox::Warning,
                  QString::fromStdString(title.empty() ? kMessageTitle : title),
                  QString::fromStdString(text), QMessageBox::Ok, Owner());
  box.setObjectName("MessageBox");
  box.exec();
}

UsbProblemChoice QtUserInterface::UsbProblemDialog() {
  frmUSB_Com_Prob dialog(Owner());
  if (!usbDetail_.empty()) {
    dialog.ShowDetail(QString::fromStdString(usbDetail_));
    std::fprintf(stderr, "zm5520-evm: %s\n", usbDetail_.c_str());
  }
  if (openAddress_) {
    dialog.onSetAddress = openAddress_;
    dialog.Command4->setEnabled(true);
  }
  return dialog.Ask();
}

void QtUserInterface::ShowReminder() {
  frmCheckSoftwareRev dialog(parent_);
  dialog.exec();
}

std::optional<std::string> QtUserInterface::InputBox(const std::string& prompt,
                                                     const std::string& title,
                                                     const std::string& defaultText) {
  bool ok = false;
  const QString text = QInputDialog::getText(
      Owner(), QString::fromStdString(title.empty() ? kMessageTitle : title),
      QString::fromStdString(prompt), QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

std::optional<std::string> QtUserInterface::OpenFileDialog(const FileDialogRequest& request) {
  const QString file = QFileDialog::getOpenFileName(
      Owner(), QString::fromStdString(request.title), QString::fromStdString(request.initialFolder),
      QtFileFilter(request.filter), nullptr, QFileDialog::HideNameFilterDetails);
  if (file.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(file).toStdString();
}

std::optional<std::string> QtUserInterface::SaveFileDialog(const FileDialogRequest& request) {
  QString start = QString::fromStdString(request.initialFolder);
  if (!request.defaultName.empty()) {
    start = QDir(start).filePath(QString::fromStdString(request.defaultName));
  }
  QFileDialog dialog(Owner(), QString::fromStdString(request.title), start,
                     QtFileFilter(request.filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // Files the program writes are replaced without a question.
  dialog.setOptions(QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails);
  // A name typed without a suffix gets the chosen filter's, or the file
  // would not be listed when it is opened again through the same filter.
  // The dialog names a filter as it shows it, without the pattern it lists.
  const auto suffixOf = [&dialog](const QString& shown) {
    for (const QString& filter : dialog.nameFilters()) {
      if (filter == shown || filter.startsWith(shown + " (")) return FilterSuffix(filter);
    }
    return FilterSuffix(shown);
  };
  dialog.setDefaultSuffix(suffixOf(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&](const QString& shown) { dialog.setDefaultSuffix(suffixOf(shown)); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString file = dialog.selectedFiles().front();
  if (file.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(file).toStdString();
}

void QtUserInterface::Beep() {
  QApplication::beep();
}

void QtUserInterface::ProcessEvents() {
  QApplication::processEvents();
}

}  // namespace evm::gui
