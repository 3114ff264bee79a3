// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <array>
#include <string>

#include "evm.h"
#include "gui/plot/plot_line.h"
#include "main_panels.h"
#include "plot/measurement_series.h"

class QCheckBox;
class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QValueAxis;

namespace evm::gui {

// "Measurement Plot": the four quantities of the continuous reading against
// time. It listens to the passes wherever the reading was started and never
// reads the board itself.
class frmMeasurementPlot : public QWidget {
  Q_OBJECT
 public:
  frmMeasurementPlot(Evm& evm, MainPanels& panels, QWidget* parent = nullptr);
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

  // What the window shows: the passes of the reading, or an opened log as
  // it was saved.
  const MeasurementSeries& Series() const { return showingLog_ ? log_ : live_; }
  bool ShowingLog() const { return showingLog_; }
  void ShowLive();
  // The passes the view shows: the span up to the newest pass, or up to the
  // moment of the pause.
  MeasurementSeries::Range Visible() const;

  bool OpenLog(const std::string& path);
  bool ExportCsv(const std::string& path);
  bool ExportPng(const std::string& path);
  // The readout of the time `seconds` after the series' first pass.
  void ShowCursorAt(double seconds);
  void Redraw();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnPass(const MeasurementPass& pass);
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
  MeasurementSeries live_;
  MeasurementSeries log_;
  bool showingLog_ = false;
  double pausedAt_ = 0;
  // Empty, there for the axes: what maps a mouse position to a time.
  std::array<QLineSeries*, kQuantities> axisSeries_{};
  std::array<QValueAxis*, kQuantities> timeAxes_{};
  std::array<QValueAxis*, kQuantities> valueAxes_{};
  std::array<int, kQuantities> valueDecimals_{3, 3, 3, 3};
};

}  // namespace evm::gui
