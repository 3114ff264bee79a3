// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "evm.h"
#include "gui/plot/plot_line.h"
#include "main_panels.h"
#include "plot/fast_plot_run.h"
#include "plot/measurement_series.h"

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace evm::gui {

// "Measurement Plot": the four quantities of the continuous reading against
// time. It draws `live`, the passes its owner keeps however the reading was
// started, so the run so far is there when the window opens; it never reads
// the board itself, but in its fast capture, chosen explicitly, whose worker
// thread holds the board until it is stopped.
class frmMeasurementPlot : public QWidget {
  Q_OBJECT
 public:
  frmMeasurementPlot(Evm& evm, MainPanels& panels, const MeasurementSeries& live,
                     QWidget* parent = nullptr);
  ~frmMeasurementPlot() override;

  QPushButton* cmdStartStop;
  QComboBox* cboSpan;
  QCheckBox* chkPause;
  QCheckBox* chkAutoScale;
  QPushButton* cmdOpenLog;
  // Back from a log to the passes of the reading.
  QPushButton* cmdLive;
  QPushButton* cmdExportCsv;
  QPushButton* cmdExportPng;
  std::array<QCheckBox*, kQuantities> chkShow{};
  std::array<QChartView*, kQuantities> views{};
  std::array<PlotLine*, kQuantities> lines{};
  std::array<QLabel*, kQuantities> lblStats{};
  QLabel* lblCursor;
  // The fast capture: start and stop, four registers or two, and live the
  // rate the board gives and the samples lost.
  QPushButton* cmdFast;
  QComboBox* cboFastRegisters;
  QLabel* lblFastStatus;
  QTimer* tmrFastDrain;

  // What the window shows: the passes of the reading, or an opened log as
  // it was saved.
  const MeasurementSeries& Series() const {
    return showingLog_ ? log_ : showingFast_ ? fast_ : live_;
  }
  bool ShowingLog() const { return showingLog_; }
  bool ShowingFast() const { return showingFast_ && !showingLog_; }
  bool FastRunning() const { return fastRun_->Running(); }
  const FastPlotRun& Fast() const { return *fastRun_; }
  // False with the reason told when the board is busy or absent.
  bool StartFast();
  void StopFast();
  // One turn of the drain timer: what the worker read goes into the plot.
  void DrainFast();
  void ShowLive();
  // The Start/Stop caption, for a reading started or stopped anywhere.
  void ShowReadingState();
  // The passes the view shows: the span up to the newest pass, or up to the
  // moment of the pause.
  MeasurementSeries::Range Visible() const;

  bool OpenLog(const std::string& path);
  bool ExportCsv(const std::string& path);
  bool ExportPng(const std::string& path);
  // The readout of the time `seconds` after the series' first pass.
  void ShowCursorAt(double seconds);
  void Redraw();

 signals:
  // The fast capture took the board (true) or gave it back (false): the
  // main window's register controls must leave the link alone meanwhile.
  void linkHeld(bool held);

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnPass();
  void TitleLowestTimeAxis();
  void FastEnded();
  void ShowFastStatus();
  void StartStop();
  void ChooseLog();
  void ChooseExport(bool picture);
  double SpanSeconds() const;
  void ViewBounds(double& from, double& to) const;
  // Round ticks about every `pixelsPerTick` of the axis' `pixels`, the ends
  // moved out to ticks when `toTicks`; gives the decimals of the figures.
  static int SetAxis(QValueAxis* axis, double lo, double hi, int pixels, int pixelsPerTick,
                     bool toTicks);

  Evm& evm_;
  // The main window's: its reading loop, which the Start button runs, draws there.
  MainPanels& panels_;
  int listener_ = 0;
  const MeasurementSeries& live_;
  MeasurementSeries log_;
  MeasurementSeries fast_{FastPlotRun::kSeriesCapacity};
  std::unique_ptr<FastPlotRun> fastRun_;
  int drainTurns_ = 0;
  bool showingLog_ = false;
  bool showingFast_ = false;
  double pausedAt_ = 0;
  // Empty, there for the axes: what maps a mouse position to a time.
  std::array<QLineSeries*, kQuantities> axisSeries_{};
  std::array<QValueAxis*, kQuantities> timeAxes_{};
  std::array<QValueAxis*, kQuantities> valueAxes_{};
  std::array<int, kQuantities> valueDecimals_{3, 3, 3, 3};
};

}  // namespace evm::gui
