// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // The offscreen platform's default font is DejaVu Sans at 9 pt on Linux
  // but another one under Windows; the tests measure what fits, so they
  // name the font the program meets on Linux.
  QFont font("DejaVu Sans", 9);
  font.setHintingPreference(QFont::PreferVerticalHinting);
  QApplication::setFont(font);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
