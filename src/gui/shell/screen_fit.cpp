#include "gui/shell/screen_fit.h"

#include <QFrame>
#include <QScreen>
#include <QScrollArea>
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
  const QSize room = shown ? shown->availableGeometry().size() : QSize(1024, 700);
  window->resize(want.boundedTo(room - QSize(16, 40)));
}

}  // namespace evm::gui
