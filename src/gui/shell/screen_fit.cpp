#include "gui/shell/screen_fit.h"

#include <QFrame>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace evm::gui {

QWidget* ScrollingPage(QWidget* window) {
  auto* outer = new QVBoxLayout(window);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(window);
  scroll->setObjectName(window->objectName() + "Scroll");
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* page = new QWidget(scroll);
  page->setObjectName(window->objectName() + "Page");
  scroll->setWidget(page);
  outer->addWidget(scroll);
  return page;
}

void ResizeWithinScreen(QWidget* window, QSize want) {
  const QScreen* shown = window->screen();
  const QSize room = (shown ? shown->availableGeometry().size() : QSize(1024, 700)) - QSize(16, 40);
  // A side that scrolls takes a scroll bar's room from the other side.
  const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
  if (want.height() > room.height()) want.rwidth() += bar;
  if (want.width() > room.width()) want.rheight() += bar;
  window->resize(want.boundedTo(room));
}

}  // namespace evm::gui
