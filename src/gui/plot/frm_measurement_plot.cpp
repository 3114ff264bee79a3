// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/plot/frm_measurement_plot.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QMouseEvent>
#include <QPen>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "acquisition/continuous_read.h"
#include "common/atomic_file.h"
#include "gui/shell/keyboard.h"
#include "gui/shell/screen_fit.h"
#include "plot/axis_ticks.h"

namespace evm::gui {

namespace {

QString Latin(const char* text) {
  return QString::fromLatin1(text);
}

struct QuantityLook {
  const char* name;
  const char* unit;
  const char* colour;
};
constexpr std::array<QuantityLook, kQuantities> kLooks = {{
    {"Bus Voltage", "V", "#1f5fbf"},
    {"Shunt Voltage", "mV", "#2e8b57"},
    {"Current", "A", "#c0392b"},
    {"Power", "W", "#8e44ad"},
}};

// A tick about every so many pixels of a value axis: a low chart still
// gets a scale.
constexpr int kValuePixelsPerTick = 25;

// Below this Qt Charts shortens the figures of a chart's scales to "...".
constexpr int kLeastChartHeight = 120;

// The spans of the span box, in seconds; the last, zero, shows everything.
constexpr std::array<double, 5> kSpans = {10, 60, 600, 3600, 0};
constexpr std::array<const char*, 5> kSpanNames = {"10 s", "1 min", "10 min", "1 h", "All"};

// The drain empties the worker's buffer this often; the plot is redrawn
// every few drains, so its cost stays the same at any sample rate.
constexpr int kDrainMs = 50;
constexpr int kDrainsPerRedraw = 4;

// Six digits, as a single-precision value holds, with the program's mark.
QString Number(double value, const NumberLocale& locale) {
  return QString::number(value, 'g', 6).replace('.', QChar(locale.decimalSeparator));
}

// The axes' figures with the program's decimal mark, ungrouped.
QLocale FigureLocale(const NumberLocale& locale) {
  QLocale figures = locale.decimalSeparator == ',' ? QLocale(QLocale::German) : QLocale::c();
  figures.setNumberOptions(QLocale::OmitGroupSeparator);
  return figures;
}

QString TimeText(double seconds) {
  const auto ms = static_cast<qint64>(std::llround(seconds * 1000));
  return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString("yyyy-MM-dd HH:mm:ss.zzz");
}

}  // namespace

frmMeasurementPlot::frmMeasurementPlot(Evm& evm, MainPanels& panels, const MeasurementSeries& live,
                                       QWidget* parent)
    : QWidget(parent, Qt::Window), evm_(evm), panels_(panels), live_(live) {
  setObjectName("frmMeasurementPlot");
  setWindowTitle("Measurement Plot");
  QWidget* page = ScrollingPage(this);
  auto* layout = new QVBoxLayout(page);
  auto* bar = new QHBoxLayout;
  layout->addLayout(bar);
  auto button = [&](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    bar->addWidget(b);
    return b;
  };
  cmdStartStop = button("cmdStartStop", "Start");
  cboSpan = new QComboBox(this);
  cboSpan->setObjectName("cboSpan");
  for (const char* name : kSpanNames) cboSpan->addItem(name);
  cboSpan->setCurrentIndex(1);
  bar->addWidget(new QLabel("Span:", this));
  bar->addWidget(cboSpan);
  chkPause = new QCheckBox("Pause", this);
  chkPause->setObjectName("chkPause");
  bar->addWidget(chkPause);
  chkAutoScale = new QCheckBox("Auto-scale", this);
  chkAutoScale->setObjectName("chkAutoScale");
  chkAutoScale->setChecked(true);
  bar->addWidget(chkAutoScale);
  bar->addStretch(1);
  cmdLive = button("cmdLive", "Live");
  cmdLive->setToolTip("Back from the log to the passes of the reading");
  cmdLive->setEnabled(false);
  cmdOpenLog = button("cmdOpenLog", "Open Log...");
  cmdExportCsv = button("cmdExportCsv", "Export CSV...");
  cmdExportPng = button("cmdExportPng", "Export PNG...");

  auto* shows = new QHBoxLayout;
  layout->addLayout(shows);
  for (size_t q = 0; q < kQuantities; ++q) {
    const QuantityLook& look = kLooks[q];
    chkShow[q] = new QCheckBox(QString("%1 (%2)").arg(Latin(look.name), Latin(look.unit)), this);
    chkShow[q]->setObjectName(QString("chkShow%1").arg(q));
    chkShow[q]->setChecked(true);
    shows->addWidget(chkShow[q]);

    auto* chart = new QChart;
    chart->setLocalizeNumbers(true);
    chart->setLocale(FigureLocale(evm_.locale()));
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 2, 4, 2));
    chart->setBackgroundRoundness(0);
    axisSeries_[q] = new QLineSeries(chart);
    chart->addSeries(axisSeries_[q]);
    timeAxes_[q] = new QValueAxis(chart);
    timeAxes_[q]->setLabelFormat("%.1f");
    valueAxes_[q] = new QValueAxis(chart);
    valueAxes_[q]->setTitleText(Latin(look.unit));
    // No chart title: the line of figures below names the quantity, and the
    // height goes to the scales, which Qt Charts elides to "..." when short.
    valueAxes_[q]->setLabelFormat("%.6g");
    chart->addAxis(timeAxes_[q], Qt::AlignBottom);
    chart->addAxis(valueAxes_[q], Qt::AlignLeft);
    axisSeries_[q]->attachAxis(timeAxes_[q]);
    axisSeries_[q]->attachAxis(valueAxes_[q]);
    lines[q] = new PlotLine(chart, timeAxes_[q], valueAxes_[q], QPen(QColor(look.colour), 1));
    views[q] = new QChartView(chart, this);
    views[q]->viewport()->setMouseTracking(true);
    views[q]->viewport()->installEventFilter(this);
    layout->addWidget(views[q], 1);
    lblStats[q] = new QLabel(this);
    lblStats[q]->setObjectName(QString("lblStats%1").arg(q));
    layout->addWidget(lblStats[q]);
    connect(chkShow[q], &QCheckBox::toggled, this, [this, q](bool on) {
      views[q]->setVisible(on);
      lblStats[q]->setVisible(on);
      TitleLowestTimeAxis();
    });
  }
  shows->addStretch(1);
  TitleLowestTimeAxis();

  // The fast capture's controls share the row of the check boxes.
  QHBoxLayout* fast = shows;
  cmdFast = new QPushButton("Fast Start", this);
  cmdFast->setObjectName("cmdFast");
  cmdFast->setToolTip(
      "Reads only the registers each conversion changes, as fast as the board gives them. "
      "The board is held by the capture until it is stopped.");
  fast->addWidget(cmdFast);
  cboFastRegisters = new QComboBox(this);
  cboFastRegisters->setObjectName("cboFastRegisters");
  cboFastRegisters->addItem("4 registers");
  cboFastRegisters->setToolTip(
      "Four: shunt, bus, power and current. Two: current and bus, the power computed, "
      "about twice as many samples a second.");
  cboFastRegisters->addItem("2 registers");
  fast->addWidget(cboFastRegisters);
  tmrFastDrain = new QTimer(this);
  tmrFastDrain->setObjectName("tmrFastDrain");
  tmrFastDrain->setInterval(kDrainMs);
  fastRun_ = std::make_unique<FastPlotRun>(evm_);

  // The capture's figures go in the cursor's row: a row more would take
  // the height the charts' scales need.
  auto* bottom = new QHBoxLayout;
  layout->addLayout(bottom);
  lblFastStatus = new QLabel(this);
  lblFastStatus->setObjectName("lblFastStatus");
  bottom->addWidget(lblFastStatus);
  lblCursor = new QLabel(this);
  lblCursor->setObjectName("lblCursor");
  bottom->addWidget(lblCursor, 1);
  BuildAnalysis(layout);
  BuildCapture(layout);

  connect(cmdStartStop, &QPushButton::clicked, this, [this] { StartStop(); });
  connect(cboSpan, &QComboBox::currentIndexChanged, this, [this] { Redraw(); });
  connect(chkAutoScale, &QCheckBox::toggled, this, [this] { Redraw(); });
  connect(chkPause, &QCheckBox::toggled, this, [this](bool on) {
    pausedAt_ = Series().Empty() ? 0 : Series().LastTime();
    if (!on) Redraw();
  });
  connect(cmdLive, &QPushButton::clicked, this, [this] { ShowLive(); });
  connect(cmdFast, &QPushButton::clicked, this, [this] {
    if (FastRunning()) {
      StopFast();
    } else {
      StartFast();
    }
  });
  connect(tmrFastDrain, &QTimer::timeout, this, [this] { DrainFast(); });
  connect(cmdOpenLog, &QPushButton::clicked, this, [this] { ChooseLog(); });
  connect(cmdExportCsv, &QPushButton::clicked, this, [this] { ChooseExport(false); });
  connect(cmdExportPng, &QPushButton::clicked, this, [this] { ChooseExport(true); });

  listener_ = evm_.measurement().AddPassListener([this](const MeasurementPass&) { OnPass(); });
  MakeToolWindow(this);
  resize(900, 900);  // cut to the screen when it is shown
  Redraw();
}

frmMeasurementPlot::~frmMeasurementPlot() {
  evm_.measurement().RemovePassListener(listener_);
  // The main window may be going too: it is told nothing now, but the run's
  // thread is joined before the context it reads goes.
  blockSignals(true);
  fastRun_.reset();
}

void frmMeasurementPlot::closeEvent(QCloseEvent* event) {
  StopFast();
  QWidget::closeEvent(event);
}

bool frmMeasurementPlot::StartFast() {
  if (FastRunning()) return true;
  const std::string refused = fastRun_->Start(cboFastRegisters->currentIndex() == 1);
  if (!refused.empty()) {
    evm_.ui().MessageBox(refused, "Measurement Plot");
    return false;
  }
  if (showingLog_) ShowLive();
  fast_.Clear();
  stopAfterCapture_ = false;
  showingFast_ = true;
  drainTurns_ = 0;
  cmdLive->setEnabled(true);
  cmdStartStop->setEnabled(false);
  cboFastRegisters->setEnabled(false);
  SetCaption(cmdFast, "Fast Stop");
  ShowFastStatus();
  emit linkHeld(true);
  tmrFastDrain->start();
  Redraw();
  return true;
}

void frmMeasurementPlot::StopFast() {
  if (!FastRunning()) return;
  fastRun_->Stop();
  FastEnded();
}

void frmMeasurementPlot::DrainFast() {
  fastRun_->Drain(fast_);
  TakeCaptures();
  const bool ended = !FastRunning();
  ShowFastStatus();
  if (ended || ++drainTurns_ % kDrainsPerRedraw == 0) {
    if (!chkPause->isChecked() && ShowingFast()) Redraw();
  }
  if (ended) {
    FastEnded();
  } else if (stopAfterCapture_) {
    stopAfterCapture_ = false;
    StopFast();
  }
}

void frmMeasurementPlot::FastEnded() {
  stopAfterCapture_ = false;
  // What a capture in progress has is kept, cut short.
  if (capture_) {
    if (auto cut = capture_->Cut()) completed_.push_back(std::move(*cut));
    TakeCaptures();
    Disarm();
  }
  tmrFastDrain->stop();
  cmdStartStop->setEnabled(true);
  cboFastRegisters->setEnabled(true);
  SetCaption(cmdFast, "Fast Start");
  ShowFastStatus();
  if (ShowingFast()) Redraw();
  emit linkHeld(false);
  const std::string& why = fastRun_->EndText();
  if (!why.empty()) evm_.ui().MessageBox(why, "Measurement Plot");
}

void frmMeasurementPlot::ShowFastStatus() {
  const FastPlotRun& run = *fastRun_;
  const QString figures = QString("%1 samples/s, %2 samples, %3 lost")
                              .arg(QString::fromStdString(FixedText(run.Rate(), 1, evm_.locale())))
                              .arg(run.Samples())
                              .arg(run.Lost());
  lblFastStatus->setText(
      (FastRunning() ? QString("Fast capture: ") : QString("Fast capture stopped: ")) + figures);
}

void frmMeasurementPlot::OnPass() {
  // A reading started anywhere is what the window shows again.
  if (showingFast_) {
    showingFast_ = false;
    cmdLive->setEnabled(showingLog_);
  }
  // The owner has appended it to live_, which goes on while a log is shown.
  ShowReadingState();
  if (!chkPause->isChecked() && !showingLog_) Redraw();
}

void frmMeasurementPlot::ShowReadingState() {
  SetCaption(cmdStartStop, evm_.measurement().ContinuousRead ? "Stop" : "Start");
}

void frmMeasurementPlot::TitleLowestTimeAxis() {
  // One title for the time axes the charts share, under the lowest chart
  // shown: each title would take the height of a row of figures.
  bool titled = false;
  for (size_t q = kQuantities; q-- > 0;) {
    const bool title = !titled && chkShow[q]->isChecked();
    timeAxes_[q]->setTitleText(title ? QString("Time (s)") : QString());
    timeAxes_[q]->setTitleVisible(title);
    // The title's row on top of the least height that keeps the figures.
    views[q]->setMinimumHeight(kLeastChartHeight +
                               (title ? QFontMetrics(timeAxes_[q]->titleFont()).height() + 4 : 0));
    titled = titled || title;
  }
}

void frmMeasurementPlot::ShowLive() {
  showingLog_ = false;
  markers_ = {};
  // A running capture is what is live; a finished one gives way to the reading.
  showingFast_ = FastRunning();
  log_.Clear();
  cmdLive->setEnabled(false);
  setWindowTitle("Measurement Plot");
  Redraw();
}

void frmMeasurementPlot::StartStop() {
  if (evm_.measurement().ContinuousRead) {
    cmdStopContinuousRead_Click(evm_);
    return;
  }
  // Who starts a reading wants to see it.
  if (showingLog_) ShowLive();
  SetCaption(cmdStartStop, "Stop");
  // The reading loop runs here until a Stop, from this window or a tab.
  QPointer<frmMeasurementPlot> self(this);
  cmdStartContinuousRead_Click(evm_, panels_);
  if (self) SetCaption(cmdStartStop, "Start");
}

double frmMeasurementPlot::SpanSeconds() const {
  return kSpans[static_cast<size_t>(std::clamp(cboSpan->currentIndex(), 0, 4))];
}

void frmMeasurementPlot::ViewBounds(double& from, double& to) const {
  to = chkPause->isChecked() ? pausedAt_ : Series().LastTime();
  const double span = SpanSeconds();
  from = span > 0 ? to - span : Series().FirstTime();
}

MeasurementSeries::Range frmMeasurementPlot::Visible() const {
  if (Series().Empty()) return {};
  double from = 0, to = 0;
  ViewBounds(from, to);
  return Series().Span(from, to);
}

int frmMeasurementPlot::SetAxis(QValueAxis* axis, double lo, double hi, int pixels,
                                int pixelsPerTick, bool toTicks) {
  const AxisTicks ticks = NiceTicks(lo, hi, std::max(2, pixels / pixelsPerTick));
  if (toTicks) {
    // Both ends on a tick: however low the chart, its scale has two figures.
    lo = ticks.first > lo ? ticks.first - ticks.step : ticks.first;
    hi = ticks.first + std::ceil((hi - ticks.first) / ticks.step - 1e-9) * ticks.step;
  }
  axis->setRange(lo, hi);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(ticks.first);
  axis->setTickInterval(ticks.step);
  axis->setLabelFormat(QString("%.%1f").arg(ticks.decimals));
  return ticks.decimals;
}

void frmMeasurementPlot::Redraw() {
  const MeasurementSeries& series = Series();
  if (series.Empty()) {
    for (PlotLine* line : lines) line->SetPoints({});
    const long unanswered = series.UnacknowledgedPasses();
    for (size_t q = 0; q < kQuantities; ++q) {
      lblStats[q]->setText(Latin(kLooks[q].name) + ":   " +
                           (unanswered == 0 ? QString("no measurements yet.")
                                            : QString("no measurements yet: %1 pass(es) the "
                                                      "device did not answer.")
                                                  .arg(unanswered)));
    }
    DrawMarkers();
    ShowStatistics();
    DrawHistogram();
    return;
  }
  double from = 0, to = 0;
  ViewBounds(from, to);
  const MeasurementSeries::Range range = series.Span(from, to);
  const double base = series.FirstTime();
  const double left = std::max(from, base) - base;
  const double right = std::max(to - base, left + 1);
  for (size_t q = 0; q < kQuantities; ++q) {
    const auto quantity = static_cast<Quantity>(q);
    const QRectF plot = views[q]->chart()->plotArea();
    // A column of two pixels still shows every peak, at half the line to draw.
    const int columns = std::max(100, static_cast<int>(plot.width()) / 2);
    std::vector<PlotPoint> line = Decimate(series, range, quantity, from, to, columns);
    // A capture of two registers has no shunt voltage to draw.
    std::erase_if(line, [](const PlotPoint& p) { return !std::isfinite(p.value); });
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(line.size()));
    for (const PlotPoint& p : line) points.append(QPointF(p.time - base, p.value));
    SetAxis(timeAxes_[q], left, right, static_cast<int>(plot.width()), 90, false);
    if (chkAutoScale->isChecked() && !line.empty()) {
      const auto [lo, hi] = std::minmax_element(
          line.begin(), line.end(),
          [](const PlotPoint& a, const PlotPoint& b) { return a.value < b.value; });
      // A flat line gets a band of a ten-thousandth of its value.
      const double margin =
          std::max({(hi->value - lo->value) * 0.05, std::abs(hi->value) * 1e-4, 1e-6});
      valueDecimals_[q] = SetAxis(valueAxes_[q], lo->value - margin, hi->value + margin,
                                  static_cast<int>(plot.height()), kValuePixelsPerTick, true);
    }
    lines[q]->SetPoints(std::move(points));
    const SpanStatistics s = StatisticsOf(series, range, quantity);
    // One more decimal than the axis shows, the same for every figure.
    const int decimals = valueDecimals_[q] + 1;
    const auto figure = [&](double v) {
      return QString::fromStdString(FixedText(v, decimals, evm_.locale()));
    };
    const QString unit = Latin(kLooks[q].unit);
    const QString name = Latin(kLooks[q].name) + ":   ";
    if (s.count > 0 && !std::isfinite(s.last)) {
      lblStats[q]->setText(name + "not read in this capture.");
      continue;
    }
    lblStats[q]->setText(name + (s.count == 0 ? QString("no passes in the span.")
                                              : QString("min %1 %5   mean %2 %5   max %3 %5   "
                                                        "last %4 %5")
                                                    .arg(figure(s.min), figure(s.mean),
                                                         figure(s.max), figure(s.last), unit)));
  }
  DrawMarkers();
  ShowStatistics();
  DrawHistogram();
}

void frmMeasurementPlot::ShowCursorAt(double seconds) {
  const MeasurementSeries& series = Series();
  if (series.Empty()) return;
  const double t = series.FirstTime() + seconds;
  const MeasurementSeries::Range all{0, series.Size()};
  const size_t at = std::min(series.Span(t, series.LastTime() + 1).first, all.last - 1);
  // The nearer of the passes on either side.
  size_t i = at;
  if (at > 0 && t - series.At(at - 1).time < series.At(at).time - t) i = at - 1;
  const auto& p = series.At(i);
  QString text = TimeText(p.time);
  for (size_t q = 0; q < kQuantities; ++q) {
    text +=
        QString("   %1 %2 %3")
            .arg(Latin(kLooks[q].name), Number(p.values[q], evm_.locale()), Latin(kLooks[q].unit));
  }
  lblCursor->setText(text);
}

bool frmMeasurementPlot::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::Resize && !redrawPending_) {
    // A chart's ticks follow its height: drawn again once the layout has
    // settled, once for all the charts it moved.
    redrawPending_ = true;
    QTimer::singleShot(0, this, [this] {
      redrawPending_ = false;
      Redraw();
    });
  }
  if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
      type != QEvent::MouseButtonRelease) {
    return QWidget::eventFilter(watched, event);
  }
  for (size_t q = 0; q < kQuantities; ++q) {
    if (watched != views[q]->viewport()) continue;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF at = mouse->position();
    const double seconds = views[q]->chart()->mapToValue(at, axisSeries_[q]).x();
    const double time = Series().Empty() ? 0 : Series().FirstTime() + seconds;
    if (type == QEvent::MouseMove) {
      ShowCursorAt(seconds);
      if (dragging_ >= 0 && (mouse->buttons() & Qt::LeftButton)) SetMarker(dragging_, time);
    } else if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
      // On a marker: drag it; elsewhere A, or B with Shift, comes here.
      const int near = MarkerNear(q, at.x());
      dragging_ = near >= 0 ? near : (mouse->modifiers() & Qt::ShiftModifier) ? 1 : 0;
      SetMarker(dragging_, time);
    } else if (type == QEvent::MouseButtonRelease) {
      dragging_ = -1;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void frmMeasurementPlot::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Redraw();
}

bool frmMeasurementPlot::OpenLog(const std::string& path) {
  MeasurementSeries loaded;
  const LogReadResult r = ReadLogFile(path, loaded);
  if (!r.opened) {
    evm_.ui().MessageBox("The log file \"" + path + "\" could not be read.", "Measurement Plot");
    return false;
  }
  // Shown as it was saved; the reading's passes wait for "Live".
  log_ = std::move(loaded);
  markers_ = {};
  showingLog_ = true;
  cmdLive->setEnabled(true);
  setWindowTitle("Measurement Plot - " + QString::fromStdString(path));
  if (r.skipped > 0) {
    evm_.ui().MessageBox(std::to_string(r.skipped) + " record(s) of \"" + path +
                             "\" could not be read and are not shown.",
                         "Measurement Plot");
  }
  cboSpan->setCurrentIndex(static_cast<int>(kSpans.size()) - 1);
  Redraw();
  return true;
}

bool frmMeasurementPlot::ExportCsv(const std::string& path) {
  return WriteFileAtomically(path, SeriesCsv(Series(), Visible()));
}

bool frmMeasurementPlot::ExportPng(const std::string& path) {
  return grab().save(QString::fromStdString(path), "PNG");
}

void frmMeasurementPlot::ChooseLog() {
  const auto file = evm_.ui().OpenFileDialog(
      {"Open Log", "Log files (*.csv;*.txt)|*.csv;*.txt|All files (*.*)|*.*", "", ""});
  if (file && !file->empty()) OpenLog(*file);
}

void frmMeasurementPlot::ChooseExport(bool picture) {
  const auto file = evm_.ui().SaveFileDialog(
      picture ? FileDialogRequest{"Export Picture", "PNG (*.png)|*.png", "", "plot.png"}
              : FileDialogRequest{"Export Data", "CSV (*.csv)|*.csv", "", "plot.csv"});
  if (!file || file->empty()) return;
  if (!(picture ? ExportPng(*file) : ExportCsv(*file))) {
    evm_.ui().MessageBox("\"" + *file + "\" could not be written.", "Measurement Plot");
  }
}

}  // namespace evm::gui
