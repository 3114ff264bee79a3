// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <initializer_list>

class QAbstractButton;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

namespace evm::gui {

// Escape and Ctrl+W close the tool window; Return presses a focused button
// of it, as Space does.
void MakeToolWindow(QWidget* window);

// Alt mnemonics for the push buttons of `window`: each takes the first free
// letter of its caption, a word's first letter before the others, so the
// caption reads as it is written, with one letter underlined. Buttons seen
// together share the letters; the pages of a tab widget are seen one at a
// time. Letters in `taken` (the menu bar's) are left to their owners.
void GiveMnemonics(QWidget* window, const QString& taken);

// A caption set after GiveMnemonics keeps the button's letter.
void SetCaption(QAbstractButton* button, const QString& caption);

// Return in every button of `window` presses it.
void ReturnPressesButtons(QWidget* window);

// Return in `box` presses the button that applies it.
void ReturnPresses(QLineEdit* box, QPushButton* button);

// A box that only shows a value: reachable by the mouse to copy from, but
// no stop on the way of the Tab key.
void NoTabStop(QLineEdit* box);

// Moves `last` (in their order) behind every other Tab stop inside `page`,
// wherever they were made.
void TabLast(QWidget* page, std::initializer_list<QWidget*> last);

// The wait cursor while the board is busy and the window cannot answer.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace evm::gui
