// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QTimer>
#include <fstream>

#include "gui/shell/qt_user_interface.h"
#include "script/script_files.h"
#include "support/temp_dir.h"

namespace evm::gui {
namespace {

// The file dialog as `act` finds it once it is up.
std::optional<std::string> SaveDialog(const FileDialogRequest& request,
                                      const std::function<void(QFileDialog*)>& act) {
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  return QtUserInterface().SaveFileDialog(request);
}

// Register files, the measurement log and result files are replaced without
// a question.
TEST(FileDialogs, ChoosingAnExistingFileToWriteReplacesItWithoutAsking) {
  test::TempDir dir;
  const std::string existing = (dir.path() / "registers.csv").string();
  std::ofstream(existing) << "1\r\n";
  bool asked = false;
  // Without a question the timer is still pending when the test ends; its
  // context takes it along instead of letting it write into this frame later.
  QObject scope;
  const auto chosen =
      SaveDialog({"Save Registers To File", "Csv Files (*.csv)|*.csv", dir.path().string(), ""},
                 [&](QFileDialog* dialog) {
                   QTimer::singleShot(0, &scope, [&] {
                     auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                     asked = box != nullptr;
                     if (box) box->reject();
                   });
                   dialog->selectFile(QString::fromStdString(existing));
                   // as the dialog's own button does
                   static_cast<QDialog*>(dialog)->accept();
                 });
  EXPECT_FALSE(asked);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(std::filesystem::path(*chosen), std::filesystem::path(existing));
}

// The results filter names RSL but lists text files, the pattern it gives.
TEST(FileDialogs, FiltersShowTheirNameAndListByTheirPattern) {
  QStringList shown;
  QStringList listed;
  SaveDialog({"", kResultsFilter, "", ""}, [&](QFileDialog* dialog) {
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i);
    if (auto* files = dialog->findChild<QFileSystemModel*>()) listed = files->nameFilters();
  });
  EXPECT_EQ(shown, QStringList({"Result (*.RSL)", "All Files (*.*)"}));
  EXPECT_EQ(listed, QStringList({"*.txt"}));
}

}  // namespace
}  // namespace evm::gui
