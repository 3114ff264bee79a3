#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <fstream>

#include "gui/shell/qt_user_interface.h"
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

}  // namespace
}  // namespace evm::gui
