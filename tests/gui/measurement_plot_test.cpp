// SPDX-License-Identifier: GPL-3.0-or-later
#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <filesystem>

#include "acquisition/continuous_read.h"
#include "common/atomic_file.h"
#include "gui/main_window_fixture.h"
#include "gui/plot/frm_measurement_plot.h"
#include "gui/shell/frm_choose_boards.h"

namespace evm::gui {
namespace {

struct PlotFixture : test_support::MainWindowFixture {
  using MainWindowFixture::MainWindowFixture;
  frmMeasurementPlot* Plot() {
    w.mnuMeasurementPlot->trigger();
    return w.measurementPlot;
  }
  size_t RegisterReads() {
    size_t reads = 0;
    for (const auto& r : c.sim->RegLink()->Requests()) reads += r.size() >= 3 && r[0] == 0x15;
    return reads;
  }
  // Continuous reading from the registers tab's button for `passes` passes.
  void Read(int passes) {
    int seen = 0;
    const int id = c.evm.measurement().AddPassListener([&](const MeasurementPass&) {
      if (++seen == passes) cmdStopContinuousRead_Click(c.evm);
    });
    Button("cmdStartContinuousRead", "tabRegisters")->click();
    c.evm.measurement().RemovePassListener(id);
  }
};

TEST(MeasurementPlot, FollowsTheReadingPausesExportsAndShowsAnOpenedLog) {
  PlotFixture f;
  frmMeasurementPlot* plot = f.Plot();
  ASSERT_NE(plot, nullptr);
  EXPECT_EQ(f.Plot(), plot) << "one window per program";
  const size_t before = f.RegisterReads();
  f.Read(5);
  EXPECT_EQ(plot->Series().Size(), 5u);
  EXPECT_EQ(plot->lines[0]->count(), 5);
  EXPECT_EQ(f.RegisterReads() - before, 5u * 6) << "the plot reads nothing itself";

  plot->chkPause->setChecked(true);
  const QList<QPointF> held = plot->lines[2]->points();
  f.Read(3);
  EXPECT_EQ(plot->Series().Size(), 8u) << "passes keep coming in";
  EXPECT_EQ(plot->lines[2]->points(), held);
  EXPECT_EQ(plot->Visible().Count(), 5u);
  plot->chkPause->setChecked(false);
  EXPECT_EQ(plot->lines[2]->count(), 8);

  const std::string csv = (f.c.dir.path() / "plot.csv").string();
  ASSERT_TRUE(plot->ExportCsv(csv));
  const std::string text = ReadWholeFile(csv).value_or("");
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 8) << "the header and every pass";

  // An opened log is shown as it was saved; the reading goes on beside it
  // and "Live" shows it again.
  std::string log;
  for (const char* second : {"01", "02", "03"}) {
    log += std::string("\"01-15-2026 09:00:") + second +
           "\",12.5,.25,0,14751,1250,12000,6250,2500,40960,\"\r\n\"\r\n";
  }
  const auto file = f.c.dir.path() / "bench.csv";
  ASSERT_TRUE(WriteFileAtomically(file, log));
  EXPECT_FALSE(plot->cmdLive->isEnabled()) << "already live";
  ASSERT_TRUE(plot->OpenLog(file.string()));
  EXPECT_EQ(plot->Series().Size(), 3u);
  f.Read(2);
  EXPECT_EQ(plot->Series().Size(), 3u) << "the reading's passes do not join the log";
  EXPECT_EQ(plot->lines[0]->count(), 3);
  EXPECT_TRUE(plot->windowTitle().endsWith("bench.csv"));

  plot->cmdLive->click();
  EXPECT_EQ(plot->Series().Size(), 10u) << "every pass of the reading, those read meanwhile too";
  EXPECT_EQ(plot->lines[0]->count(), 10);
  EXPECT_EQ(plot->windowTitle(), "Measurement Plot");
}

TEST(MeasurementPlot, FastCaptureHoldsTheBoardShowsItsRateAndGivesTheBoardBack) {
  PlotFixture f;
  frmMeasurementPlot* plot = f.Plot();
  // The main window's controls that would use the register link.
  f.w.mnuChooseBoards->trigger();
  const auto linkControls = [&] {
    return std::vector<bool>{f.w.centralWidget()->isEnabled(), f.w.mnuStartRead->isEnabled(),
                             f.w.mnuReadAll->isEnabled(), f.w.mnuLoadReg->isEnabled(),
                             f.w.chooseBoards->isEnabled()};
  };
  const std::vector<bool> held(5, false), free(5, true);
  for (const bool two : {false, true}) {
    f.Child<QComboBox>(plot, "cboFastRegisters")->setCurrentIndex(two ? 1 : 0);
    f.Child<QPushButton>(plot, "cmdFast")->click();
    ASSERT_TRUE(plot->FastRunning());
    EXPECT_EQ(linkControls(), held) << "the worker holds the board";
    EXPECT_FALSE(plot->cmdStartStop->isEnabled());
    // As the timer would; the worker alone uses the fake clock meanwhile.
    for (int turn = 0; plot->Fast().Samples() < 2000 && turn < 1'000'000; ++turn) {
      plot->DrainFast();
    }
    EXPECT_GE(plot->Series().Size(), 1900u);
    const QString status = f.Child<QLabel>(plot, "lblFastStatus")->text();
    EXPECT_TRUE(status.contains(QRegularExpression("^Fast capture: \\d{3,}\\.\\d samples/s")))
        << status.toStdString();
    EXPECT_EQ(plot->lines[1]->count() == 0, two) << "no shunt voltage in two registers";
    EXPECT_GT(plot->lines[2]->count(), 0);
    if (!two) {
      plot->cmdFast->click();
      EXPECT_FALSE(plot->FastRunning());
      EXPECT_EQ(linkControls(), free) << "the board is given back";
    }
  }
  // Closing the window ends the run and joins its thread.
  plot->close();
  EXPECT_EQ(linkControls(), free);
  EXPECT_TRUE(f.c.ui.messages.empty()) << f.c.ui.messages.front().text;
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // The continuous read works on the board given back.
  plot = f.Plot();
  f.Read(2);
  EXPECT_EQ(plot->Series().Size(), 2u);
}

// The figures a chart shows: its axes' labels.
QStringList Figures(QChartView* view) {
  QStringList figures;
  for (QGraphicsItem* item : view->scene()->items()) {
    if (auto* text = dynamic_cast<QGraphicsTextItem*>(item)) figures << text->toPlainText();
  }
  return figures;
}

TEST(MeasurementPlot, FiguresAreRoundWithTheProgramsDecimalMarkAndOnePrecision) {
  PlotFixture f(NumberLocale::Comma());
  frmMeasurementPlot* plot = f.Plot();
  QApplication::processEvents();
  f.Read(20);
  QApplication::processEvents();
  // Round figures: a few decimals, never the six digits of a raw reading.
  const QRegularExpression round("^-?\\d+(,\\d{1,3})?$");
  for (size_t q = 0; q < kQuantities; ++q) {
    const QStringList figures = Figures(plot->views[q]);
    EXPECT_GE(figures.size(), 4) << q;
    for (const QString& figure : figures) {
      if (figure.isEmpty() || figure.contains(QRegularExpression("[A-Za-z]"))) continue;  // titles
      EXPECT_TRUE(round.match(figure).hasMatch()) << q << ": " << figure.toStdString();
    }
    // "min 12,0010 V   mean ..." with one number of decimals for every figure.
    const QString stats = plot->lblStats[q]->text();
    QSet<qsizetype> decimals;
    for (const auto& m : QRegularExpression("-?\\d+(,(\\d+))?").globalMatch(stats)) {
      EXPECT_FALSE(m.captured(1).isEmpty()) << stats.toStdString();
      decimals.insert(m.captured(2).size());
    }
    EXPECT_EQ(decimals.size(), 1u) << stats.toStdString();
  }
}

TEST(MeasurementPlot, OpensOnTheRunSoFarAndKeepsItWhenClosedAndOpenedAgain) {
  PlotFixture f;
  f.Read(5);
  frmMeasurementPlot* plot = f.Plot();
  EXPECT_EQ(plot->Series().Size(), 5u) << "the passes read before it opened";
  EXPECT_EQ(plot->lines[2]->count(), 5);
  plot->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  f.Read(2);
  plot = f.Plot();
  EXPECT_EQ(plot->Series().Size(), 7u) << "and those read while it was closed";
  f.Read(1);
  EXPECT_EQ(plot->lines[2]->count(), 8);
}

TEST(MeasurementPlot, TheReadingsKeysWorkWhileThePlotIsInFront) {
  PlotFixture f;
  frmMeasurementPlot* plot = f.Plot();
  plot->activateWindow();
  QApplication::setActiveWindow(plot);
  // F6 runs the reading until F7, pressed in the plot after three passes.
  int passes = 0;
  const int id = f.c.evm.measurement().AddPassListener([&](const MeasurementPass&) {
    if (++passes == 3) QTest::keyClick(plot, Qt::Key_F7);
    if (passes > 10) cmdStopContinuousRead_Click(f.c.evm);  // F7 was not taken
  });
  QTest::keyClick(plot, Qt::Key_F6);
  f.c.evm.measurement().RemovePassListener(id);
  EXPECT_EQ(passes, 3);
  EXPECT_EQ(plot->Series().Size(), 3u);
  EXPECT_EQ(plot->cmdStartStop->text().remove('&'), "Start") << "the plot knows it ended";
  f.c.sim->RegLink()->Device().SetRegisterForTest(5, 0x4321);
  QTest::keyClick(plot, Qt::Key_F5);
  EXPECT_EQ(f.c.evm.registers().RegValue[5], 0x4321) << "F5 read the registers";
}

TEST(MeasurementPlot, TimeAxesKeepTheirFiguresOnASmallScreenAndAtScaleTwo) {
  PlotFixture f;
  frmMeasurementPlot* plot = f.Plot();
  f.Read(20);
  // The window's room at 1024x700, and on 1600x1000 at scale 2, less a frame.
  for (const QSize room : {QSize(914, 660), QSize(792, 470)}) {
    plot->resize(room);
    QApplication::processEvents();
    plot->Redraw();
    QApplication::processEvents();
    int timeTitles = 0;
    for (size_t q = 0; q < kQuantities; ++q) {
      const QStringList figures = Figures(plot->views[q]);
      timeTitles += static_cast<int>(figures.count("Time (s)"));
      EXPECT_GE(figures.size(), 5) << room.height() << " chart " << q;
      for (const QString& figure : figures) {
        EXPECT_FALSE(figure.contains("...") || figure.contains(QChar(0x2026)))
            << room.height() << " chart " << q << ": " << figure.toStdString();
      }
    }
    EXPECT_EQ(timeTitles, 1) << "under the lowest chart";
  }
}

// The keyboard alone places, chooses, moves and takes away the markers; the
// statistics are those of the passes between them.
TEST(MeasurementPlot, MarkersByKeyboardBoundTheStatistics) {
  PlotFixture f;
  frmMeasurementPlot* plot = f.Plot();
  f.Read(41);
  plot->cboSpan->setCurrentIndex(plot->cboSpan->count() - 1);  // every pass in view
  plot->activateWindow();
  QApplication::setActiveWindow(plot);
  const MeasurementSeries& series = plot->Series();
  const double first = series.FirstTime();
  const double span = series.LastTime() - first;
  // keys pressed, then A and B as fractions of the span (-1: not placed)
  const std::tuple<const char*, double, double> steps[] = {
      {"Ctrl+1", 0.5, -1},   {"Ctrl+2", 0.5, 0.75},          {"Ctrl+Right", 0.5, 0.76},
      {"Ctrl+1", 0.5, 0.76}, {"Ctrl+Shift+Left", 0.4, 0.76}, {"Ctrl+Left", 0.39, 0.76},
      {"Ctrl+0", -1, -1},
  };
  for (const auto& [keys, a, b] : steps) {
    QTest::keySequence(plot, QKeySequence(keys));
    for (const auto& [which, want] : {std::pair{0, a}, {1, b}}) {
      const std::optional<double> at = plot->Marker(which);
      EXPECT_EQ(at.has_value(), want >= 0) << keys << " marker " << which;
      if (at && want >= 0) {
        EXPECT_NEAR((*at - first) / span, want, 1e-6) << keys << " " << which;
      }
    }
  }
  // Both placed: the passes from A to B and no other, shunt volts in volts.
  QTest::keySequence(plot, QKeySequence("Ctrl+1"));
  QTest::keySequence(plot, QKeySequence("Ctrl+2"));
  const Statistics stats = plot->MarkerStatistics();
  const MeasurementSeries::Range between = series.Span(*plot->Marker(0), *plot->Marker(1));
  ASSERT_GT(between.Count(), 5u);
  EXPECT_LT(between.Count(), series.Size());
  EXPECT_EQ(stats.Samples(), static_cast<int64_t>(between.Count()));
  double shunt = 0, amps = 0;
  for (size_t i = between.first; i < between.last; ++i) {
    shunt += series.At(i).values[1] / 1000.0;
    amps = std::max(amps, static_cast<double>(series.At(i).values[2]));
  }
  EXPECT_NEAR(stats.Of(StatQuantity::ShuntVolts).mean, shunt / between.Count(), 1e-9);
  EXPECT_DOUBLE_EQ(stats.Of(StatQuantity::Amps).max, amps);
  EXPECT_TRUE(plot->lblStatistics->text().startsWith("Between markers A "));
}

// The statistics and their copy carry the program's decimal mark; the
// histogram counts every sample of the same span.
TEST(MeasurementPlot, StatisticsCopyWithTheProgramsMarkAndTheHistogramCountsTheSpan) {
  for (const NumberLocale locale : {NumberLocale::Point(), NumberLocale::Comma()}) {
    PlotFixture f(locale);
    frmMeasurementPlot* plot = f.Plot();
    f.Read(12);
    plot->cmdCopyStats->click();
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_EQ(copied, plot->lblStatistics->text());
    EXPECT_TRUE(copied.startsWith("Visible span: 12 samples")) << copied.toStdString();
    const QChar mark(locale.decimalSeparator), other(locale.decimalSeparator == ',' ? '.' : ',');
    EXPECT_TRUE(copied.contains(QRegularExpression(QString("mean 1\\d\\%1\\d+ V").arg(mark))))
        << copied.toStdString();
    EXPECT_FALSE(copied.contains(QRegularExpression(QString("\\d\\%1\\d").arg(other))))
        << copied.toStdString();
    for (const char* line :
         {"bus_volts: min", "shunt_volts: min", "amps: min", "watts: min", "charge ", "energy "}) {
      EXPECT_TRUE(copied.contains(line)) << line;
    }
    plot->chkHistogram->setChecked(true);
    EXPECT_TRUE(plot->viewHistogram->isVisibleTo(plot));
    EXPECT_EQ(plot->MarkerHistogram().Total(), 12);
  }
}

// Armed on a pulse of the simulated load (3 A, 30 mV on the shunt): one capture saved and shown in
// single shot, one per pulse when re-armed; no capture when the level is
// never crossed.
TEST(MeasurementPlot, TriggeredCaptureSavesAndShowsEachCapture) {
  const char* pulses = "pulse:at=0.5,width=0.1,amps=3;pulse:at=1.2,width=0.1,amps=3";
  // re-armed, level, captures saved when the samples end
  const std::tuple<bool, const char*, long> cases[] = {
      {false, "0.02", 1}, {true, "0.02", 2}, {false, "0.05", 0}};
  for (const auto& [rearm, level, saved] : cases) {
    SCOPED_TRACE(std::string(level) + (rearm ? " re-armed" : " single"));
    evm::test::SimContext c(NumberLocale::Point(), {.simulate = true, .simLoad = pulses});
    formMain_QMA740 w{c.evm};
    ASSERT_TRUE(w.Load());
    w.mnuMeasurementPlot->trigger();
    frmMeasurementPlot* plot = w.measurementPlot;
    const auto folder = c.dir.path() / "captures";
    plot->txtCaptureFolder->setText(QString::fromStdString(folder.string()));
    // The shunt voltage: the simulated device needs no calibration for it.
    plot->cboTriggerSource->setCurrentIndex(static_cast<int>(TriggerSource::ShuntVolts));
    plot->txtTriggerLevel->setText(level);
    plot->txtPreSeconds->setText("0.05");
    plot->txtPostSeconds->setText("0.2");
    plot->chkRearm->setChecked(rearm);
    plot->cmdArm->click();
    ASSERT_TRUE(plot->Armed());
    ASSERT_TRUE(plot->FastRunning());
    for (int turn = 0; plot->FastRunning() && plot->Fast().Samples() < 1000 && turn < 1'000'000;
         ++turn) {
      plot->DrainFast();
    }
    plot->StopFast();
    EXPECT_EQ(plot->CapturesSaved(), saved);
    EXPECT_FALSE(plot->Armed()) << "disarmed when done or stopped";
    long files = 0;
    if (std::filesystem::exists(folder)) {
      for (const auto& entry : std::filesystem::directory_iterator(folder))
        files += entry.is_regular_file();
    }
    EXPECT_EQ(files, saved);
    EXPECT_EQ(plot->ShowingLog(), saved > 0) << "the last capture is shown";
    if (saved > 0) {
      EXPECT_TRUE(plot->windowTitle().contains(QString("capture %1").arg(saved)));
      // A at the trigger: the pre-trigger time before it.
      EXPECT_NEAR(*plot->Marker(0) - plot->Series().FirstTime(), 0.05, 0.01);
      EXPECT_GT(plot->MarkerStatistics().Of(StatQuantity::ShuntVolts).max, 0.025);
    }
    EXPECT_TRUE(c.ui.messages.empty()) << c.ui.messages.front().text;
  }
}

// The summary log: one row per interval of the passes, written until the
// menu item is unchecked; a bad interval or a cancelled dialog logs nothing.
TEST(SummaryLog, WritesOneRowPerIntervalOfThePassesUntilUnchecked) {
  // the interval typed, whether a log is written
  const std::tuple<const char*, bool> cases[] = {
      {"1", true}, {"0,5", true}, {"0", false}, {"x", false}};
  for (const auto& [interval, written] : cases) {
    SCOPED_TRACE(interval);
    PlotFixture f(NumberLocale::Comma());
    const auto file = f.c.dir.path() / "summary.csv";
    f.c.ui.inputAnswers = {std::string(interval)};
    f.c.ui.saveFileAnswers = {file.string()};
    f.w.mnuSummaryLog->trigger();
    EXPECT_EQ(f.w.mnuSummaryLog->isChecked(), written);
    f.Read(6);
    f.w.mnuSummaryLog->trigger();
    EXPECT_FALSE(f.w.mnuSummaryLog->isChecked());
    EXPECT_EQ(std::filesystem::exists(file), written);
    if (!written) continue;
    const std::string text = ReadWholeFile(file).value_or("");
    EXPECT_EQ(text.rfind("# started ", 0), 0u) << text;
    EXPECT_NE(text.find("\ntime_s,samples,lost,"), std::string::npos) << text;
    const auto rows = std::count(text.begin(), text.end(), '\n') - 2;
    // Passes about a second apart: a row for each interval that has one.
    EXPECT_GE(rows, 3) << text;
    EXPECT_LE(rows, 6 * (std::string(interval) == "1" ? 1 : 2)) << text;
    EXPECT_TRUE(f.c.ui.messages.empty()) << f.c.ui.messages.front().text;
  }
}

}  // namespace
}  // namespace evm::gui
