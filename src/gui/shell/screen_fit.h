// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace evm::gui {

// Lays `window` out as one scroll area and returns the page inside it for the
// window's own layout: on a small screen or at a large scale the part that
// does not fit scrolls instead of lying beyond the screen's edge. The page's
// children are found by name as before.
QWidget* ScrollingPage(QWidget* window);

// Gives `window` the size it wants, but never more than the screen's free
// room less a window manager's frame and title bar.
void ResizeWithinScreen(QWidget* window, QSize want);

// Where a window's frame of `frame` goes: centred on `over` (the window that
// opened it), then cut and moved as far as it takes to lie within `room`.
QRect PlaceWithin(const QRect& room, const QRect& over, QSize frame);

// Shows `window` in front. The first time it is sized and placed within the
// free room of the screen its opener is on, whatever the scale; a window
// shown before keeps the place the user gave it.
void ShowOnScreen(QWidget* window);

}  // namespace evm::gui
