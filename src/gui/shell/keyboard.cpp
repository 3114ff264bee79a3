// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/shell/keyboard.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QWidget>
#include <map>

namespace evm::gui {

namespace {

constexpr const char* kMnemonicProperty = "mnemonicLetter";

// Where `letter` goes in `caption`: at a word's start if it can, else
// anywhere; -1 when the caption lacks it.
qsizetype MnemonicPosition(const QString& caption, QChar letter) {
  qsizetype anywhere = -1;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i].toUpper() != letter) continue;
    if (i == 0 || !caption[i - 1].isLetterOrNumber()) return i;
    if (anywhere < 0) anywhere = i;
  }
  return anywhere;
}

QString WithMnemonic(const QString& caption, QChar letter) {
  const qsizetype at = MnemonicPosition(caption, letter);
  if (at < 0) return caption;
  QString text = caption;
  return text.insert(at, '&');
}

// The widget whose buttons are seen together with `button`: the page of the
// tab widget it is on, or its window.
QWidget* MnemonicScope(QWidget* button) {
  QWidget* w = button;
  while (!w->isWindow()) {
    QWidget* parent = w->parentWidget();
    if (qobject_cast<QStackedWidget*>(parent)) return w;
    w = parent;
  }
  return w;
}

}  // namespace

void GiveMnemonics(QWidget* window, const QString& taken) {
  std::map<QWidget*, QString> used;
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    const QString caption = button->text();
    if (caption.contains('&')) continue;
    QString& letters = used.try_emplace(MnemonicScope(button), taken.toUpper()).first->second;
    // Words' first letters, then the rest, in the caption's order.
    QString candidates;
    for (qsizetype i = 0; i < caption.size(); ++i) {
      if (caption[i].isLetterOrNumber() && (i == 0 || !caption[i - 1].isLetterOrNumber())) {
        candidates += caption[i].toUpper();
      }
    }
    for (QChar c : caption) {
      if (c.isLetterOrNumber()) candidates += c.toUpper();
    }
    for (QChar letter : candidates) {
      if (letters.contains(letter)) continue;
      letters += letter;
      button->setProperty(kMnemonicProperty, QString(letter));
      button->setText(WithMnemonic(caption, letter));
      break;
    }
  }
}

void SetCaption(QAbstractButton* button, const QString& caption) {
  const QString letter = button->property(kMnemonicProperty).toString();
  button->setText(letter.isEmpty() ? caption : WithMnemonic(caption, letter[0]));
}

void MakeToolWindow(QWidget* window) {
  for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence("Ctrl+W")}) {
    auto* shortcut = new QShortcut(keys, window);
    QObject::connect(shortcut, &QShortcut::activated, window, &QWidget::close);
  }
  ReturnPressesButtons(window);
  GiveMnemonics(window, {});
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

void TabLast(QWidget* page, std::initializer_list<QWidget*> last) {
  QWidget* before = nullptr;
  for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
    const bool moved = std::find(last.begin(), last.end(), w) != last.end();
    if (!moved && page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) before = w;
  }
  for (QWidget* w : last) {
    if (before) QWidget::setTabOrder(before, w);
    before = w;
  }
}

}  // namespace evm::gui
