// SPDX-License-Identifier: GPL-3.0-or-later
// The windows, offscreen: what the script window, the USB debug window and
// start-up cost on top of core.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "acquisition/continuous_read.h"
#include "bench_support.h"
#include "gui/plot/frm_measurement_plot.h"
#include "gui/script/frm_script.h"
#include "gui/shell/form_main.h"
#include "gui/testboard/frm_debug_usb.h"
#include "plot/measurement_series.h"
#include "script/evm_script_board.h"
#include "script/script_files.h"

namespace evm::bench {
namespace {

void ProcessEvents() {
  QCoreApplication::processEvents();
}

// Run Script in a shown window: every step lets the window draw.
void BM_ScriptWindowRun(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  SimEvm s;
  s.ui.processEvents = ProcessEvents;
  const auto file = WriteScript(s.folder.path(), rows);
  EvmScriptBoard board(s.evm);
  gui::frmScript w(board, s.ui, s.evm.locale());
  w.show();
  s.ui.file = file.string();
  w.Command4->click();
  QCoreApplication::processEvents();
  for (auto _ : state) {
    w.Command2->click();
    QCoreApplication::processEvents();
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ScriptWindowRun)->Arg(1000)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Load Script into a shown window, up to the grid drawn.
void BM_ScriptWindowLoad(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  SimEvm s;
  const auto file = WriteScript(s.folder.path(), rows);
  EvmScriptBoard board(s.evm);
  s.ui.file = file.string();
  for (auto _ : state) {
    state.PauseTiming();
    auto w = std::make_unique<gui::frmScript>(board, s.ui, s.evm.locale());
    w->show();
    QCoreApplication::processEvents();
    state.ResumeTiming();
    w->Command4->click();
    QCoreApplication::processEvents();
    state.PauseTiming();
    w.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ScriptWindowLoad)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

// One debug entry with the window open on a log of `entries` entries; the
// window gets an event pass every 100 entries, as a busy transaction would.
void BM_DebugWindowAppend(benchmark::State& state) {
  SimEvm s;
  const std::string entry = "  Result = The operation completed successfully.";
  for (int64_t i = 0; i < state.range(0); ++i) s.evm.usbDebug().Entry(entry);
  gui::frmDebugUSB w(s.evm.usbDebug(), s.panels.debugPanel);
  w.show();
  QCoreApplication::processEvents();
  int n = 0;
  for (auto _ : state) {
    s.evm.usbDebug().Entry(entry);
    if (++n % 100 == 0) QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
}
BENCHMARK(BM_DebugWindowAppend)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(1000)
    ->Unit(benchmark::kMicrosecond);

// Verbose (HID-level) exchanges with the debug window open, one event pass
// each; the counter is the memory they added. EVM_BENCH_EXCHANGES sets how
// many (default 2000, far past what the log keeps).
void BM_DebugWindowVerboseExchanges(benchmark::State& state) {
  const char* env = std::getenv("EVM_BENCH_EXCHANGES");
  const int exchanges = env ? std::atoi(env) : 2000;
  SimEvm s;
  s.evm.dutWriter().SendMnemonic("CMD ON");  // the board found before tracing starts
  gui::frmDebugUSB w(s.evm.usbDebug(), s.panels.debugPanel);
  w.show();
  QCoreApplication::processEvents();
  s.evm.usbDebug().UsbDebugLevel = DebugTrace::Hid;
  const double before = ResidentMiB();
  for (auto _ : state) {
    for (int i = 0; i < exchanges; ++i) {
      s.evm.dutWriter().SendMnemonic("CMD ON");
      QCoreApplication::processEvents();
    }
  }
  state.SetItemsProcessed(state.iterations() * exchanges);
  state.counters["exchanges"] = exchanges;
  state.counters["MiB_added"] = ResidentMiB() - before;
}
BENCHMARK(BM_DebugWindowVerboseExchanges)->Iterations(1)->Unit(benchmark::kMillisecond);

// From an empty context to the main window shown and its first event pass:
// the program's own start-up, without the settle times of the first reads.
void BM_StartupToMainWindow(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto s = std::make_unique<SimEvm>();
    state.ResumeTiming();
    auto w = std::make_unique<gui::formMain_QMA740>(s->evm);
    w->Load();
    w->show();
    QCoreApplication::processEvents();
    state.PauseTiming();
    w.reset();
    s.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartupToMainWindow)->Unit(benchmark::kMillisecond);

// A continuous-read log of `passes` passes a second apart.
void WritePlotLog(const std::string& path, long passes) {
  std::ofstream log(path, std::ios::binary);
  log << LogHeaderRecord();
  for (long i = 0; i < passes; ++i) {
    const long s = i % 86400;
    char line[160];
    std::snprintf(line, sizeof line,
                  "\"01-%02ld-2026 %02ld:%02ld:%02ld\",%g,%g,0,14751,%ld,%ld,0,0,0,\"\r\n\"\r\n",
                  1 + i / 86400, s / 3600, s / 60 % 60, s % 60, 12.0 + (i % 17) * 0.01,
                  1.0 + (i % 13) * 0.001, 1000 + i % 97, 24000 + i % 89 * 8);
    log << line;
  }
}

// The plot window's cost per pass at a few passes and at a day of them: the
// pass taken in, the lines rebuilt from the series and the window drawn.
void BM_PlotPass(benchmark::State& state) {
  SimEvm s;
  const std::string log = (s.folder.path() / "log.csv").string();
  WritePlotLog(log, state.range(0));
  const MeasurementSeries noRunYet;
  gui::frmMeasurementPlot plot(s.evm, s.panels, noRunYet);
  plot.resize(1000, 800);
  plot.show();
  ProcessEvents();
  if (!plot.OpenLog(log)) state.SkipWithError("log not read");
  QImage picture(plot.size(), QImage::Format_ARGB32_Premultiplied);
  MeasurementPass pass{plot.Series().LastTime(), 12, 0.01, 1, 12, true};
  for (auto _ : state) {
    pass.time += 1;
    for (const auto& listener : s.evm.measurement().passListeners) listener.second(pass);
    QPainter painter(&picture);
    plot.render(&painter);
  }
  state.counters["passes"] = static_cast<double>(plot.Series().Size());
}
// A fixed count of passes taken in, so the series stays at its size.
BENCHMARK(BM_PlotPass)
    ->Arg(100)
    ->Arg(2000)
    ->Arg(150000)
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace evm::bench
