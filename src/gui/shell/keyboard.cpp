#include "gui/shell/keyboard.h"

#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>

namespace evm::gui {

void MakeToolWindow(QWidget* window) {
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence("Ctrl+W")}) {
    auto* shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
  }
  ReturnPressesButtons(window);
}

void ReturnPressesButtons(QWidget* window) {
  // Outside a dialog an auto-default button does nothing but answer Return.
  for (QPushButton* button : window->findChildren<QPushButton*>()) button->setAutoDefault(true);
}

void ReturnPresses(QLineEdit* box, QPushButton* button) {
  QObject::connect(box, &QLineEdit::returnPressed, button, &QPushButton::click);
}

void NoTabStop(QLineEdit* box) {
  box->setFocusPolicy(Qt::ClickFocus);
}

}  // namespace evm::gui
