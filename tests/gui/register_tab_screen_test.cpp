// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QTableWidget>
#include <vector>

#include "gui/main_window_fixture.h"

// The register tab as it reaches the screen: measured on the window shown
// and laid out, and on what the screen holds rather than on a fresh paint.
namespace evm::gui {
namespace {

using test_support::Click;
using Window = test_support::MainWindowFixture;

void ShowRegistersTab(Window& win) {
  for (int i = 0; i < win.w.SSTab1->count(); ++i) {
    if (win.w.SSTab1->tabText(i).remove('&') == "Registers") win.w.SSTab1->setCurrentIndex(i);
  }
}

// What the screen holds of each bit caption (the offscreen screen's copy of
// the window) after a change is what a full repaint puts there, and differs
// where the caption's text does: after a bit changes and after another
// register is chosen, no old caption or underscore is left.
TEST(RegisterTab, BitCaptionsOnScreenFollowEveryChange) {
  Window win;
  ShowRegistersTab(win);
  std::vector<QLabel*> labels;
  for (int k = 0; k < 16; ++k) {
    labels.push_back(win.Find<QLabel>(QString("lblBit_%1").arg(k).toLatin1()));
    ASSERT_TRUE(labels.back()->isVisible());
  }
  // The small offscreen screen holds the tab scrolled: scrolled to the bit map.
  for (QWidget* w = labels[0]; w; w = w->parentWidget()) {
    if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
      scroll->ensureWidgetVisible(labels[15], 0, 0);
      scroll->ensureWidgetVisible(labels[0], 0, 0);
    }
  }
  for (QLabel* label : labels) {
    ASSERT_TRUE(win.w.rect().contains(QRect(label->mapTo(&win.w, QPoint(0, 0)), label->size())))
        << label->objectName().toStdString();
  }
  struct Shot {
    std::vector<QString> texts;
    std::vector<QImage> pixels;
  };
  const auto onScreen = [&] {
    QApplication::processEvents();
    Shot shot;
    for (QLabel* label : labels) {
      shot.texts.push_back(
          QString::fromStdString(win.c.evm.registerPanel.lblBit[shot.texts.size()]));
      const QPoint at = label->mapTo(&win.w, QPoint(0, 0));
      shot.pixels.push_back(
          win.w.screen()
              ->grabWindow(win.w.winId(), at.x(), at.y(), label->width(), label->height())
              .toImage());
      EXPECT_FALSE(shot.pixels.back().isNull());
    }
    return shot;
  };
  const auto captionsFollow = [&](const char* when) {
    const Shot shown = onScreen();
    win.w.repaint();
    const Shot repainted = onScreen();
    for (size_t k = 0; k < labels.size(); ++k) {
      EXPECT_EQ(shown.pixels[k], repainted.pixels[k]) << when << ": lblBit_" << k;
    }
    return shown;
  };
  captionsFollow("shown");
  Click(win.Find<QLineEdit>("txtBit_10"));
  const Shot config = captionsFollow("a bit toggled");
  win.Grid()->setCurrentCell(2, 1);  // 01h: SD15..SD0 after B_ADC4..S_ADC1
  const Shot shunt = captionsFollow("another register");
  for (size_t k = 0; k < labels.size(); ++k) {
    if (config.texts[k] == shunt.texts[k]) continue;
    EXPECT_NE(config.pixels[k], shunt.pixels[k])
        << "lblBit_" << k << " still shows " << config.texts[k].toStdString();
  }
}

// Measured on the window as shown and laid out: at its own size every name
// shows whole, the trim rows' and the names marked as edited too; narrowed
// to a small screen, the chip's register names still do, marks aside.
TEST(RegisterTab, NameColumnShowsTheLongestNameWhole) {
  Window win;
  QTableWidget* grid = win.Grid();
  const auto namesFit = [&](const char* when, bool marked) {
    QApplication::processEvents();
    for (int row = 1; row < grid->rowCount(); ++row) {
      QString name = grid->item(row, 1)->text();
      if (!marked) name.replace(" *** ", "");
      EXPECT_LE(grid->fontMetrics().horizontalAdvance(name) + 6, grid->columnWidth(1))
          << when << ": '" << name.toStdString() << "'";
    }
  };
  ShowRegistersTab(win);
  win.w.resize(1600 - 8, 1000 - 30);  // a large screen less a window manager's frame
  win.Find<QAction>("mnuEngineeringMode")->trigger();
  emit win.Find<QComboBox>("cmbShuntGain")->activated(1);  // marks 00h edited
  namesFit("at its own size", true);
  win.Find<QAction>("mnuEngineeringMode")->trigger();
  win.w.resize(1024 - 8, 700 - 30);  // a small screen less a window manager's frame
  namesFit("narrowed", false);
}

}  // namespace
}  // namespace evm::gui
