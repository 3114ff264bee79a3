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

// Register files, the measurement log and result files are replaced without
// a question.
TEST(FileDialogs, ChoosingAnExistingFileToWriteReplacesItWithoutAsking) {
  test::TempDir dir;
  const std::string existing = (dir.path() / "registers.csv").string();
  std::ofstream(existing) << "1\r\n";

  QtUserInterface ui;
  FileDialogRequest request;
  request.title = "Save Registers To File";
  request.filter = "Csv Files (*.csv)|*.csv|All Files (*.*)|*.*";
  request.initialFolder = dir.path().string();

  bool dialogShown = false;
  bool asked = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialogShown = true;
    QTimer::singleShot(0, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        asked = true;
        box->reject();
      }
    });
    dialog->selectFile(QString::fromStdString(existing));
    static_cast<QDialog*>(dialog)->accept();  // as the dialog's own button does
    if (dialog->isVisible()) dialog->reject();
  });
  const auto chosen = ui.SaveFileDialog(request);

  EXPECT_TRUE(dialogShown);
  EXPECT_FALSE(asked);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(std::filesystem::path(*chosen), std::filesystem::path(existing));
}

// The results filter names RSL but lists text files, the pattern it gives.
TEST(FileDialogs, FiltersShowTheirNameAndListByTheirPattern) {
  QtUserInterface ui;
  FileDialogRequest request;
  request.filter = kResultsFilter;
  QStringList shown;
  QStringList listed;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
    for (int i = 0; types && i < types->count(); ++i) shown << types->itemText(i);
    if (auto* files = dialog->findChild<QFileSystemModel*>()) listed = files->nameFilters();
    dialog->reject();
  });
  ui.SaveFileDialog(request);
  EXPECT_EQ(shown, QStringList({"Result (*.RSL)", "All Files (*.*)"}));
  EXPECT_EQ(listed, QStringList({"*.txt"}));
}

}  // namespace
}  // namespace evm::gui
