// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/capture.h"
#include "acquisition/statistics.h"
#include "evm.h"
#include "gui/plot/plot_line.h"
#include "main_panels.h"
#include "plot/fast_plot_run.h"
#include "plot/measurement_series.h"

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QGraphicsLineItem;
class QLineEdit;
class QVBoxLayout;
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
  // Two markers, placed with the mouse (click: A, Shift+click: B, drag
  // either) or the keys (Ctrl+1, Ctrl+2: place at the middle of the view or
  // choose; Ctrl+Left/Right move the chosen one a hundredth of the view,
  // with Shift a tenth; Ctrl+0 takes both away), and the statistics between
  // them, or over the visible span without both.
  QLabel* lblMarkers;
  QLabel* lblStatistics;
  QPushButton* cmdCopyStats;
  // The histogram of one quantity over the same span.
  QCheckBox* chkHistogram;
  QComboBox* cboHistogram;
  QChartView* viewHistogram;
  // A triggered capture, on the fast capture's samples: each one saved to
  // the folder and shown when it completes.
  QComboBox* cboTriggerSource;
  QComboBox* cboTriggerEdge;
  QLineEdit* txtTriggerLevel;
  QLineEdit* txtPreSeconds;
  QLineEdit* txtPostSeconds;
  QLineEdit* txtCaptureFolder;
  QCheckBox* chkRearm;
  QPushButton* cmdArm;
  QLabel* lblCaptureStatus;
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

  // Marker 0 (A) or 1 (B), in the series' time; none when not placed.
  std::optional<double> Marker(int which) const { return markers_[static_cast<size_t>(which)]; }
  void SetMarker(int which, double time);
  // Places `which` at the middle of the view, or chooses it when placed.
  void PlaceMarker(int which);
  // Moves the chosen marker by `fraction` of the visible span.
  void MoveMarker(double fraction);
  void ClearMarkers();
  // The samples between the markers, or the visible ones.
  MeasurementSeries::Range StatisticsRange() const;
  Statistics MarkerStatistics() const;
  // What lblStatistics shows and Copy puts on the clipboard.
  QString StatisticsText() const;
  Histogram MarkerHistogram() const;

  // False with the reason told when the settings or the board refuse.
  bool Arm();
  void Disarm();
  bool Armed() const { return capture_.has_value(); }
  long CapturesSaved() const { return capturesSaved_; }

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
  void BuildAnalysis(QVBoxLayout* layout);
  void BuildCapture(QVBoxLayout* layout);
  void DrawMarkers();
  void ShowStatistics();
  void DrawHistogram();
  void TakeCaptures();
  void ShowCapture(const Capture& capture, const std::string& file);
  // The marker a press at `x` pixels of chart q would drag, or -1.
  int MarkerNear(size_t q, double x) const;
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
  std::array<std::optional<double>, 2> markers_{};
  int chosenMarker_ = 0;
  int dragging_ = -1;
  std::array<std::array<QGraphicsLineItem*, 2>, kQuantities> markerLines_{};
  QLineSeries* histogramLine_ = nullptr;
  QValueAxis* histogramX_ = nullptr;
  QValueAxis* histogramY_ = nullptr;
  std::optional<TriggeredCapture> capture_;
  std::vector<Capture> completed_;
  long capturesSaved_ = 0;
  // A single capture is in: the fast capture ends after the drain.
  bool stopAfterCapture_ = false;
  bool redrawPending_ = false;
};

}  // namespace evm::gui
