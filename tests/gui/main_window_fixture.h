// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "gui/shell/form_main.h"
#include "support/sim_fixture.h"

namespace evm::gui::test_support {

// Characters as the keyboard would deliver them to `w`.
inline void Type(QWidget* w, const QString& text) {
  for (QChar ch : text) {
    QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(w, &key);
  }
}

// A left click as the window system delivers it: press, then release.
inline void Click(QWidget* w) {
  const QPointF at(w->width() / 2.0, w->height() / 2.0);
  const QPointF global = w->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

// The main window loaded on the simulated EVM, with its controls found by name.
struct MainWindowFixture {
  evm::test::SimContext c;
  formMain_QMA740 w{c.evm};
  explicit MainWindowFixture(NumberLocale locale = NumberLocale::Point()) : c(locale) {
    EXPECT_TRUE(w.Load());
    w.show();
  }
  template <typename T>
  T* Find(const char* name) {
    T* control = w.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
  // The window a menu entry brings up.
  QWidget* Open(const char* action, const char* window) {
    Find<QAction>(action)->trigger();
    return Find<QWidget>(window);
  }
  template <typename T>
  static T* Child(QWidget* window, const QString& name) {
    T* control = window ? window->findChild<T*>(name) : nullptr;
    EXPECT_NE(control, nullptr) << name.toStdString();
    return control;
  }
  QString Box(const char* name) { return Find<QLineEdit>(name)->text(); }
  QTableWidget* Grid() { return Find<QTableWidget>("gridReg"); }
  QString Cell(int row, int col) { return Grid()->item(row, col)->text(); }
  // The copy of a button group on the tab that holds `tabName`.
  QPushButton* Button(const char* name, const char* tabName) {
    for (QPushButton* b : Find<QWidget>(tabName)->findChildren<QPushButton*>(name)) return b;
    ADD_FAILURE() << name << " on " << tabName;
    return nullptr;
  }
};

}  // namespace evm::gui::test_support
