// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/screen_fit.h"

#include <QFrame>
#include <QGuiApplication>
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

namespace {

// A window manager's frame and title bar, until the window has its own.
constexpr QMargins kFrameGuess(8, 32, 8, 8);
constexpr const char* kPlacedProperty = "placedOnScreen";

QMargins FrameOf(const QWidget* window) {
  if (!window->isVisible()) return kFrameGuess;
  const QRect frame = window->frameGeometry();
  const QRect inside = window->geometry();
  const QMargins own(inside.left() - frame.left(), inside.top() - frame.top(),
                     frame.right() - inside.right(), frame.bottom() - inside.bottom());
  return own.isNull() ? kFrameGuess : own;
}

QSize Bounded(QWidget* window, QSize want, QSize room) {
  // A side that scrolls takes a scroll bar's room from the other side.
  const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, window);
  if (want.height() > room.height()) want.rwidth() += bar;
  if (want.width() > room.width()) want.rheight() += bar;
  return want.boundedTo(room);
}

const QScreen* ScreenOf(const QWidget* window) {
  const QScreen* at = QGuiApplication::screenAt(window->frameGeometry().center());
  return at ? at : window->screen();
}

}  // namespace

void ResizeWithinScreen(QWidget* window, QSize want) {
  const QScreen* shown = ScreenOf(window);
  const QMargins frame = FrameOf(window);
  const QSize room = (shown ? shown->availableGeometry().size() : QSize(1024, 700)) -
                     QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
  window->resize(Bounded(window, want, room));
}

QRect PlaceWithin(const QRect& room, const QRect& over, QSize frame) {
  QRect placed(QPoint(0, 0), frame.boundedTo(room.size()));
  placed.moveCenter(over.center());
  // Right and bottom first, so that a window larger than the room keeps
  // its title bar and its left edge in view.
  if (placed.right() > room.right()) placed.moveRight(room.right());
  if (placed.bottom() > room.bottom()) placed.moveBottom(room.bottom());
  if (placed.left() < room.left()) placed.moveLeft(room.left());
  if (placed.top() < room.top()) placed.moveTop(room.top());
  return placed;
}

void ShowOnScreen(QWidget* window) {
  if (!window->property(kPlacedProperty).toBool()) {
    window->setProperty(kPlacedProperty, true);
    const QWidget* opener = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    const QScreen* screen = ScreenOf(opener ? opener : window);
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 700);
    const QMargins frame = FrameOf(window);
    const QSize edges(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QSize want = window->testAttribute(Qt::WA_Resized)
                           ? window->size()
                           : window->sizeHint().expandedTo(window->minimumSize());
    window->resize(Bounded(window, want, room.size() - edges));
    const QRect placed =
        PlaceWithin(room, opener ? opener->frameGeometry() : room, window->size() + edges);
    // A window's position is that of its frame.
    window->move(placed.topLeft());
  }
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace evm::gui
