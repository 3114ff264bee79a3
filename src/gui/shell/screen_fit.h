#pragma once

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

}  // namespace evm::gui
