#pragma once

#include <QApplication>

class QLineEdit;
class QPushButton;
class QWidget;

namespace evm::gui {

// Escape and Ctrl+W close the tool window; Return presses a focused button
// of it, as Space does.
void MakeToolWindow(QWidget* window);

// Return in every button of `window` presses it.
void ReturnPressesButtons(QWidget* window);

// Return in `box` presses the button that applies it.
void ReturnPresses(QLineEdit* box, QPushButton* button);

// A box that only shows a value: reachable by the mouse to copy from, but
// no stop on the way of the Tab key.
void NoTabStop(QLineEdit* box);

// The wait cursor while the board is busy and the window cannot answer.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace evm::gui
