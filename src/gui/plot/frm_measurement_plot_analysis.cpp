// SPDX-License-Identifier: GPL-3.0-or-later
// The Measurement Plot's markers, statistics, histogram and triggered
// capture: the figures are core's (Statistics, Histogram, TriggeredCapture);
// here they are asked for and shown.
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGraphicsLineItem>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPen>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "common/number_text.h"
#include "gui/plot/frm_measurement_plot.h"
#include "gui/shell/keyboard.h"
#include "plot/axis_ticks.h"

namespace evm::gui {

namespace {

struct StatLook {
  const char* unit;
  const char* caption;
};
// In the order of StatQuantity, named as the fast log's columns.
constexpr std::array<StatLook, kStatQuantities> kStatLooks = {{
    {"V", "Bus Voltage"},
    {"V", "Shunt Voltage"},
    {"A", "Current"},
    {"W", "Power"},
}};

constexpr int kHistogramBins = 50;
// A marker line within this many pixels of a press is dragged, not replaced.
constexpr double kGrabPixels = 6;

// Six digits with the program's decimal mark, as the cursor's readout.
QString Figure(double value, const NumberLocale& locale) {
  return QString::number(value, 'g', 6).replace('.', QChar(locale.decimalSeparator));
}

// A marker's time since the first sample, to the millisecond: the times
// are seconds since 1970, whose difference carries rounding noise below that.
QString MarkerTime(double seconds, const NumberLocale& locale) {
  return QString::fromStdString(FixedText(seconds, 3, locale));
}

StatSample StatSampleOf(const MeasurementSeries::Point& p) {
  // The series holds the shunt voltage in millivolts, as the plot draws it.
  return {p.time, {p.values[0], p.values[1] / 1000.0, p.values[2], p.values[3]}};
}

std::optional<double> BoxNumber(const QLineEdit* box, const NumberLocale& locale) {
  const std::string text = box->text().toStdString();
  // The program's mark, or a point as every box also takes.
  if (auto value = ParseLocaleNumber(text, locale)) return value;
  return ParseInvariantNumber(text);
}

}  // namespace

void frmMeasurementPlot::BuildAnalysis(QVBoxLayout* layout) {
  for (size_t q = 0; q < kQuantities; ++q) {
    QChart* chart = views[q]->chart();
    for (size_t m = 0; m < 2; ++m) {
      auto* line = new QGraphicsLineItem(chart);
      line->setPen(QPen(m == 0 ? QColor("#e67e22") : QColor("#16a085"), 1.5, Qt::DashLine));
      line->setZValue(20);
      line->setVisible(false);
      markerLines_[q][m] = line;
    }
  }
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  lblMarkers = new QLabel(this);
  lblMarkers->setObjectName("lblMarkers");
  lblMarkers->setToolTip(
      "Click: marker A, Shift+click: marker B, drag a marker to move it.\n"
      "Ctrl+1, Ctrl+2: place A or B at the middle of the view, or choose it.\n"
      "Ctrl+Left, Ctrl+Right: move the chosen marker (with Shift, ten times as far).\n"
      "Ctrl+0: take both markers away.");
  row->addWidget(lblMarkers, 1);
  chkHistogram = new QCheckBox("Histogram", this);
  chkHistogram->setObjectName("chkHistogram");
  row->addWidget(chkHistogram);
  cboHistogram = new QComboBox(this);
  cboHistogram->setObjectName("cboHistogram");
  for (const StatLook& look : kStatLooks) cboHistogram->addItem(look.caption);
  cboHistogram->setCurrentIndex(static_cast<int>(IndexOf(StatQuantity::Amps)));
  row->addWidget(cboHistogram);
  cmdCopyStats = new QPushButton("Copy Statistics", this);
  cmdCopyStats->setObjectName("cmdCopyStats");
  row->addWidget(cmdCopyStats);

  lblStatistics = new QLabel(this);
  lblStatistics->setObjectName("lblStatistics");
  lblStatistics->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblStatistics);

  auto* chart = new QChart;
  chart->legend()->hide();
  chart->setMargins(QMargins(4, 2, 4, 2));
  chart->setBackgroundRoundness(0);
  histogramLine_ = new QLineSeries(chart);
  auto* area = new QAreaSeries(histogramLine_);
  area->setColor(QColor("#c0392b").lighter(150));
  area->setBorderColor(QColor("#c0392b"));
  chart->addSeries(area);
  histogramX_ = new QValueAxis(chart);
  histogramY_ = new QValueAxis(chart);
  histogramY_->setTitleText("samples");
  histogramY_->setLabelFormat("%.0f");
  chart->addAxis(histogramX_, Qt::AlignBottom);
  chart->addAxis(histogramY_, Qt::AlignLeft);
  area->attachAxis(histogramX_);
  area->attachAxis(histogramY_);
  viewHistogram = new QChartView(chart, this);
  viewHistogram->setObjectName("viewHistogram");
  viewHistogram->setMinimumHeight(180);
  viewHistogram->setVisible(false);
  layout->addWidget(viewHistogram, 1);

  connect(chkHistogram, &QCheckBox::toggled, this, [this](bool on) {
    viewHistogram->setVisible(on);
    DrawHistogram();
  });
  connect(cboHistogram, &QComboBox::currentIndexChanged, this, [this] { DrawHistogram(); });
  connect(cmdCopyStats, &QPushButton::clicked, this,
          [this] { QGuiApplication::clipboard()->setText(StatisticsText()); });

  const auto key = [this](const QKeySequence& keys, auto act) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, act);
  };
  key(QKeySequence(Qt::CTRL | Qt::Key_1), [this] { PlaceMarker(0); });
  key(QKeySequence(Qt::CTRL | Qt::Key_2), [this] { PlaceMarker(1); });
  key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { ClearMarkers(); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { MoveMarker(-0.01); });
  key(QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { MoveMarker(0.01); });
  key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Left), [this] { MoveMarker(-0.1); });
  key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right), [this] { MoveMarker(0.1); });
}

void frmMeasurementPlot::BuildCapture(QVBoxLayout* layout) {
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  const auto label = [&](const char* text) { row->addWidget(new QLabel(text, this)); };
  const auto box = [&](const char* name, const QString& text, int width) {
    auto* b = new QLineEdit(text, this);
    b->setObjectName(name);
    b->setMaximumWidth(width);
    row->addWidget(b);
    return b;
  };
  label("Trigger:");
  cboTriggerSource = new QComboBox(this);
  cboTriggerSource->setObjectName("cboTriggerSource");
  // In the order of TriggerSource.
  for (const char* name : {"Current (A)", "Bus Voltage (V)", "Shunt Voltage (V)", "Power (W)"}) {
    cboTriggerSource->addItem(name);
  }
  row->addWidget(cboTriggerSource);
  cboTriggerEdge = new QComboBox(this);
  cboTriggerEdge->setObjectName("cboTriggerEdge");
  for (const char* name : {"rising", "falling", "either"}) cboTriggerEdge->addItem(name);
  row->addWidget(cboTriggerEdge);
  label("level");
  txtTriggerLevel = box("txtTriggerLevel", "1", 70);
  label("pre (s)");
  txtPreSeconds =
      box("txtPreSeconds", QString("0") + QChar(evm_.locale().decimalSeparator) + "1", 60);
  label("post (s)");
  txtPostSeconds = box("txtPostSeconds", "1", 60);
  chkRearm = new QCheckBox("Re-arm", this);
  chkRearm->setObjectName("chkRearm");
  chkRearm->setToolTip("Arm again after each capture, until disarmed; unchecked: one capture");
  row->addWidget(chkRearm);
  label("folder");
  txtCaptureFolder = box("txtCaptureFolder", QDir::home().filePath("zm5520-captures"), 10000);
  cmdArm = new QPushButton("Arm", this);
  cmdArm->setObjectName("cmdArm");
  cmdArm->setToolTip(
      "Starts the fast capture if it is not running and saves each capture to the folder, "
      "in the fast log's layout, then shows it");
  row->addWidget(cmdArm);
  lblCaptureStatus = new QLabel(this);
  lblCaptureStatus->setObjectName("lblCaptureStatus");
  layout->addWidget(lblCaptureStatus);
  connect(cmdArm, &QPushButton::clicked, this, [this] {
    if (Armed()) {
      Disarm();
    } else {
      Arm();
    }
  });
}

void frmMeasurementPlot::SetMarker(int which, double time) {
  if (Series().Empty()) return;
  markers_[static_cast<size_t>(which)] =
      std::clamp(time, Series().FirstTime(), Series().LastTime());
  chosenMarker_ = which;
  DrawMarkers();
  ShowStatistics();
  DrawHistogram();
}

void frmMeasurementPlot::PlaceMarker(int which) {
  if (Series().Empty()) return;
  if (markers_[static_cast<size_t>(which)]) {
    chosenMarker_ = which;
    ShowStatistics();
    return;
  }
  double from = 0, to = 0;
  ViewBounds(from, to);
  from = std::max(from, Series().FirstTime());
  // B a little right of A's middle, so both are seen apart.
  SetMarker(which, from + (to - from) * (which == 0 ? 0.5 : 0.75));
}

void frmMeasurementPlot::MoveMarker(double fraction) {
  const auto& marker = markers_[static_cast<size_t>(chosenMarker_)];
  if (!marker || Series().Empty()) return;
  double from = 0, to = 0;
  ViewBounds(from, to);
  from = std::max(from, Series().FirstTime());
  SetMarker(chosenMarker_, *marker + (to - from) * fraction);
}

void frmMeasurementPlot::ClearMarkers() {
  markers_ = {};
  chosenMarker_ = 0;
  dragging_ = -1;
  DrawMarkers();
  ShowStatistics();
  DrawHistogram();
}

MeasurementSeries::Range frmMeasurementPlot::StatisticsRange() const {
  if (Series().Empty()) return {};
  if (markers_[0] && markers_[1]) {
    return Series().Span(std::min(*markers_[0], *markers_[1]),
                         std::max(*markers_[0], *markers_[1]));
  }
  return Visible();
}

Statistics frmMeasurementPlot::MarkerStatistics() const {
  Statistics stats;
  const MeasurementSeries& series = Series();
  const MeasurementSeries::Range range = StatisticsRange();
  for (size_t at = range.first; at < range.last; at += Statistics::kChunk) {
    const size_t n = std::min(Statistics::kChunk, range.last - at);
    stats.AddChunk(n, [&](size_t i) { return StatSampleOf(series.At(at + i)); });
  }
  return stats;
}

Histogram frmMeasurementPlot::MarkerHistogram() const {
  const auto q = static_cast<StatQuantity>(std::clamp(cboHistogram->currentIndex(), 0, 3));
  const Statistics stats = MarkerStatistics();
  const QuantityStats& of = stats.Of(q);
  if (of.Empty()) return Histogram();
  Histogram histogram(HistogramSpec::Spanning(q, of.min, of.max, kHistogramBins));
  const MeasurementSeries& series = Series();
  const MeasurementSeries::Range range = StatisticsRange();
  for (size_t i = range.first; i < range.last; ++i) histogram.Add(StatSampleOf(series.At(i)));
  return histogram;
}

QString frmMeasurementPlot::StatisticsText() const {
  const NumberLocale& locale = evm_.locale();
  const auto figure = [&](double v) { return Figure(v, locale); };
  const Statistics stats = MarkerStatistics();
  QString text;
  if (markers_[0] && markers_[1] && !Series().Empty()) {
    const double base = Series().FirstTime();
    text =
        QString("Between markers A %1 s and B %2 s: ")
            .arg(MarkerTime(*markers_[0] - base, locale), MarkerTime(*markers_[1] - base, locale));
  } else {
    text = "Visible span: ";
  }
  if (stats.Empty()) return text + "no samples.";
  text += QString("%1 samples, %2 s\n").arg(stats.Samples()).arg(figure(stats.Seconds()));
  for (size_t q = 0; q < kStatQuantities; ++q) {
    const QuantityStats& of = stats.Of(static_cast<StatQuantity>(q));
    const QString name = QString::fromUtf8(kStatQuantityNames[q].data(),
                                           static_cast<qsizetype>(kStatQuantityNames[q].size()));
    if (of.Empty()) {
      text += name + ": not read\n";
      continue;
    }
    const QString unit = QString(" ") + kStatLooks[q].unit;
    text += QString("%1: min %2%7, mean %3%7, max %4%7, std %5%7, peak_to_peak %6%7\n")
                .arg(name, figure(of.min), figure(of.mean), figure(of.max), figure(of.Std()),
                     figure(of.PeakToPeak()), unit);
  }
  text += QString("charge %1 A s (%2 mAh), energy %3 J (%4 Wh)")
              .arg(figure(stats.ChargeAmpSeconds()), figure(stats.ChargeMah()),
                   figure(stats.EnergyJoules()), figure(stats.EnergyWh()));
  return text;
}

void frmMeasurementPlot::ShowStatistics() {
  const QString text = StatisticsText();
  lblStatistics->setText(text);
  QString markers = "Markers:";
  const double base = Series().Empty() ? 0 : Series().FirstTime();
  for (int m = 0; m < 2; ++m) {
    const auto& at = markers_[static_cast<size_t>(m)];
    markers += QString("   %1%2 %3")
                   .arg(m == chosenMarker_ ? "*" : "", m == 0 ? "A" : "B",
                        at ? MarkerTime(*at - base, evm_.locale()) + " s" : "-");
  }
  lblMarkers->setText(markers + "   (Ctrl+1, Ctrl+2, Ctrl+arrows; Ctrl+0 clears)");
}

void frmMeasurementPlot::DrawMarkers() {
  const bool any = !Series().Empty();
  const double base = any ? Series().FirstTime() : 0;
  for (size_t q = 0; q < kQuantities; ++q) {
    QChart* chart = views[q]->chart();
    const QRectF area = chart->plotArea();
    for (size_t m = 0; m < 2; ++m) {
      QGraphicsLineItem* line = markerLines_[q][m];
      if (!any || !markers_[m]) {
        line->setVisible(false);
        continue;
      }
      const double x = chart->mapToPosition(QPointF(*markers_[m] - base, 0), axisSeries_[q]).x();
      line->setLine(x, area.top(), x, area.bottom());
      line->setVisible(x >= area.left() - 0.5 && x <= area.right() + 0.5);
    }
  }
}

int frmMeasurementPlot::MarkerNear(size_t q, double x) const {
  if (Series().Empty()) return -1;
  const double base = Series().FirstTime();
  for (int m = 0; m < 2; ++m) {
    const auto& at = markers_[static_cast<size_t>(m)];
    if (!at) continue;
    const double mx = views[q]->chart()->mapToPosition(QPointF(*at - base, 0), axisSeries_[q]).x();
    if (std::abs(mx - x) <= kGrabPixels) return m;
  }
  return -1;
}

void frmMeasurementPlot::DrawHistogram() {
  if (!chkHistogram->isChecked()) return;
  const Histogram histogram = MarkerHistogram();
  QList<QPointF> outline;
  const auto& counts = histogram.Counts();
  int64_t most = 0;
  if (histogram.Total() > 0) {
    const double width = histogram.Spec().BinWidth();
    for (size_t b = 0; b < counts.size(); ++b) {
      const double left = histogram.BinLow(static_cast<int>(b));
      const auto count = static_cast<double>(counts[b]);
      outline << QPointF(left, count) << QPointF(left + width, count);
      most = std::max(most, counts[b]);
    }
  }
  histogramLine_->replace(outline);
  const size_t q = IndexOf(histogram.Spec().quantity);
  histogramX_->setTitleText(QString("%1 (%2)").arg(kStatLooks[q].caption, kStatLooks[q].unit));
  if (histogram.Total() > 0) {
    const QRectF area = viewHistogram->chart()->plotArea();
    SetAxis(histogramX_, histogram.Spec().low, histogram.Spec().high,
            static_cast<int>(area.width()), 90, false);
    // Counts are whole: never a step below one sample.
    SetAxis(histogramY_, 0, static_cast<double>(std::max<int64_t>(most, 4)),
            static_cast<int>(area.height()), 40, true);
  }
}

bool frmMeasurementPlot::Arm() {
  if (Armed()) return true;
  const NumberLocale& locale = evm_.locale();
  const auto level = BoxNumber(txtTriggerLevel, locale);
  const auto pre = BoxNumber(txtPreSeconds, locale);
  const auto post = BoxNumber(txtPostSeconds, locale);
  const std::string folder = txtCaptureFolder->text().trimmed().toStdString();
  std::string refused;
  if (!level || !pre || !post) refused = "The level, pre and post times must be numbers.";
  if (refused.empty() && folder.empty()) refused = "Name a folder for the captures.";
  CaptureSettings settings;
  if (refused.empty()) {
    settings.trigger = {
        static_cast<TriggerSource>(std::clamp(cboTriggerSource->currentIndex(), 0, 3)),
        static_cast<TriggerEdge>(std::clamp(cboTriggerEdge->currentIndex(), 0, 2)), *level};
    settings.preSeconds = *pre;
    settings.postSeconds = *post;
    settings.count = chkRearm->isChecked() ? 0 : 1;
    refused = CaptureSettingsError(settings);
  }
  if (!refused.empty()) {
    evm_.ui().MessageBox(refused, "Measurement Plot");
    return false;
  }
  capture_.emplace(settings);
  completed_.clear();
  fastRun_->Watch([this](const Sample& sample, const Quantities& q) {
    if (!capture_) return;
    if (auto done = capture_->Add(sample, q)) completed_.push_back(std::move(*done));
  });
  SetCaption(cmdArm, "Disarm");
  for (QWidget* w :
       std::initializer_list<QWidget*>{cboTriggerSource, cboTriggerEdge, txtTriggerLevel,
                                       txtPreSeconds, txtPostSeconds, chkRearm, txtCaptureFolder}) {
    w->setEnabled(false);
  }
  lblCaptureStatus->setText("Armed: " + QString::fromStdString(TriggerText(settings.trigger)) +
                            ", waiting for the level to be crossed.");
  if (!FastRunning() && !StartFast()) {
    Disarm();
    return false;
  }
  return true;
}

void frmMeasurementPlot::Disarm() {
  if (!Armed()) return;
  capture_.reset();
  fastRun_->Watch({});
  SetCaption(cmdArm, "Arm");
  for (QWidget* w :
       std::initializer_list<QWidget*>{cboTriggerSource, cboTriggerEdge, txtTriggerLevel,
                                       txtPreSeconds, txtPostSeconds, chkRearm, txtCaptureFolder}) {
    w->setEnabled(true);
  }
  lblCaptureStatus->setText(QString("Disarmed: %1 capture(s) saved to %2.")
                                .arg(capturesSaved_)
                                .arg(txtCaptureFolder->text()));
}

void frmMeasurementPlot::TakeCaptures() {
  if (!capture_ || completed_.empty()) return;
  std::vector<Capture> done;
  done.swap(completed_);
  const TriggerCondition trigger = capture_->Settings().trigger;
  for (const Capture& capture : done) {
    std::error_code ec;
    const auto file =
        SaveCapture(txtCaptureFolder->text().trimmed().toStdString(), capture, trigger, ec);
    if (!file) {
      Disarm();
      evm_.ui().MessageBox("The capture could not be saved in \"" +
                               txtCaptureFolder->text().toStdString() + "\": " + ec.message(),
                           "Measurement Plot");
      return;
    }
    ++capturesSaved_;
    ShowCapture(capture, file->string());
  }
  if (capture_->Done()) {
    Disarm();
    stopAfterCapture_ = true;
  } else {
    lblCaptureStatus->setText(QString("Armed again: %1 capture(s) saved, the last %2.")
                                  .arg(capturesSaved_)
                                  .arg(lblCaptureStatus->property("lastFile").toString()));
  }
}

void frmMeasurementPlot::ShowCapture(const Capture& capture, const std::string& file) {
  log_.Clear();
  for (size_t i = 0; i < capture.samples.size(); ++i) {
    const Quantities& q = capture.quantities[i];
    log_.Append(MeasurementPass{capture.samples[i].time, q.busVolts, q.shuntVolts, q.amperes,
                                q.watts, true});
  }
  showingLog_ = true;
  cmdLive->setEnabled(true);
  lblCaptureStatus->setProperty("lastFile", QString::fromStdString(file));
  setWindowTitle("Measurement Plot - capture " + QString::number(capture.number) + ": " +
                 QString::fromStdString(file));
  cboSpan->setCurrentIndex(cboSpan->count() - 1);
  markers_ = {};
  if (!log_.Empty()) {
    // A at the trigger, B at the end: the statistics of what followed it.
    markers_[0] = capture.triggerTime;
    markers_[1] = log_.LastTime();
  }
  Redraw();
}

}  // namespace evm::gui
