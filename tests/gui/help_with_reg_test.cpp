// "Help With Current Reg" brings up "Help With Reg", which explains whichever
// register the grid has selected, also when the selection changes while the
// window is open.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "gui/shell/form_main.h"
#include "support/sim_fixture.h"

namespace evm::gui {
namespace {

TEST(HelpWithReg, ShowsTheLegendOfTheSelectedRegister) {
  test::SimContext c;
  formMain_QMA740 w{c.evm};
  ASSERT_TRUE(w.Load());
  w.show();
  auto* help = w.findChild<QWidget*>("frmHelpWithReg");
  ASSERT_NE(help, nullptr);
  EXPECT_FALSE(help->isVisible()) << "created hidden";
  EXPECT_EQ(help->windowTitle(), "Help With Reg");
  auto* legend = help->findChild<QLabel*>("lblLegend");
  ASSERT_NE(legend, nullptr);

  QPushButton* button = nullptr;
  for (QPushButton* b : w.findChildren<QPushButton*>("Command1")) {
    if (b->text().remove(QChar('&')) == "Help With Current Reg") button = b;
  }
  ASSERT_NE(button, nullptr);
  button->click();
  EXPECT_TRUE(help->isVisible());
  EXPECT_TRUE(legend->text().startsWith("RST - Device Reset."));

  auto* grid = w.findChild<QTableWidget*>("gridReg");
  ASSERT_NE(grid, nullptr);
  const struct {
    int row;
    const char* first;
    const char* last;
  } cases[] = {
      {4, "PD15: ", "PD0: "},   // 03h
      {5, "CSign: ", "CD0: "},  // 04h
      {6, "FS15: ", "FS0: "},   // 05h
      {1, "RST - Device Reset.", "MODE3,MODE2,MODE1:"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.row);
    grid->setCurrentCell(k.row, 1);
    const QStringList lines = legend->text().split('\n');
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.front().startsWith(k.first)) << lines.front().toStdString();
    EXPECT_TRUE(lines.back().trimmed().startsWith(QString(k.last).trimmed()))
        << lines.back().toStdString();
  }
}

}  // namespace
}  // namespace evm::gui
