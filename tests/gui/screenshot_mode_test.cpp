// SPDX-License-Identifier: GPL-3.0-or-later
// The program's --screenshots mode, run as the user runs it: a process on the
// offscreen platform that leaves one picture per window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>

#include "common/atomic_file.h"
#include "support/temp_dir.h"

namespace evm {
namespace {

// Every window of the program, each tab of the main window on its own, two
// tabs at scale 1.5, the main window on a small screen and the plot in its
// fast capture.
constexpr int kPictures = 22;

// The program of this build, found from where the test runs rather than
// where it was built, so that a cross-built test finds it on its system.
QString ProgramPath() {
  return QDir(QCoreApplication::applicationDirPath() + "/../src")
      .filePath(QFileInfo(EVM_PROGRAM_PATH).fileName());
}

QString Q(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

int ColoursUpTo(const QImage& image, int enough) {
  QSet<QRgb> colours;
  for (int y = 0; y < image.height() && colours.size() < enough; y += 2) {
    for (int x = 0; x < image.width() && colours.size() < enough; x += 2) {
      colours.insert(image.pixel(x, y));
    }
  }
  return static_cast<int>(colours.size());
}

// One run (the tour takes seconds): every window drawn, in the state folder
// given, whose stored settings the tour keeps.
TEST(ScreenshotMode, PicturesEveryWindowDrawnInTheGivenStateFolder) {
  test::TempDir dir;
  const auto pictures = dir.path() / "pictures";
  const auto state = dir.path() / "state";
  std::filesystem::create_directories(state);
  // Another shunt, valid throughout the calibration; a later month than any
  // clock shows, so the reminder stays away.
  const std::string settings = "\"0.02\"\r\n\"3\"\r\n\"100u\"\r\n12\r\n9999\r\n";
  ASSERT_TRUE(WriteFileAtomically(state / "ZM5520_1EVM_Settings.csv", settings));
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.start(ProgramPath(),
                {"--simulate", "--config-dir", Q(state), "--screenshots", Q(pictures)});
  if (!program.waitForFinished(30000)) program.kill();
  // Qt's own notes about the offscreen platform are not the program's.
  QString errors;
  for (const QString& line : QString::fromLocal8Bit(program.readAllStandardError()).split('\n')) {
    if (line.startsWith("zm5520-evm")) errors += line + '\n';
  }
  ASSERT_EQ(program.exitStatus(), QProcess::NormalExit) << "the program did not end";
  ASSERT_EQ(program.exitCode(), 0) << errors.toStdString();
  EXPECT_TRUE(errors.isEmpty()) << "the tour met a message or dialog:\n" << errors.toStdString();
  EXPECT_EQ(ReadWholeFile(state / "ZM5520_1EVM_Settings.csv"), settings);
  // The windows' unloads wrote their files there, as a normal run does.
  for (const char* file :
       {"EVM_Address_Settings.csv", "DUT_Writer.csv", "ControlEVM_Settings.csv"}) {
    EXPECT_TRUE(std::filesystem::exists(state / file)) << file;
  }
  const QStringList taken = QDir(Q(pictures)).entryList({"*.png"}, QDir::Files);
  EXPECT_EQ(taken.size(), kPictures);
  EXPECT_TRUE(taken.contains("frmScript.png") && taken.contains("formMain_QMA740_1024x700.png"));
  for (const QString& name : taken) {
    SCOPED_TRACE(name.toStdString());
    const QImage image(QDir(Q(pictures)).filePath(name));
    ASSERT_FALSE(image.isNull());
    // From the smallest dialog to the main window with its register grid.
    EXPECT_TRUE(QRect(0, 0, 1600, 1200).contains(QRect(QPoint(), image.size())));
    EXPECT_GE(image.width(), 250);
    EXPECT_GE(image.height(), 100);
    // Text, frames and controls: far more than a background and a border.
    EXPECT_GE(ColoursUpTo(image, 16), 16);
  }
}

}  // namespace
}  // namespace evm
