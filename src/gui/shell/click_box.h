// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

namespace evm::gui {

// A read-only box that acts on a click, as the jumper and bit boxes do.
class ClickBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit ClickBox(const QString& text, QWidget* parent = nullptr) : QLineEdit(text, parent) {
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setCursor(Qt::PointingHandCursor);
  }

 signals:
  void clicked();

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    // Space toggles the focused box, as a click does.
    if (e->key() == Qt::Key_Space && e->modifiers() == Qt::NoModifier) {
      emit clicked();
      return;
    }
    QLineEdit::keyPressEvent(e);
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) emit clicked();
    QLineEdit::mousePressEvent(e);
  }
};

}  // namespace evm::gui
