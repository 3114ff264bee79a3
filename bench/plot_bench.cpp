// The plot window's cost per pass at a few passes and at a day of them: the
// pass taken in, the decimated lines rebuilt and the window drawn. The
// decimation bounds what is drawn by the window's width, not the passes.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <fstream>

#include "calibration/continuous_read.h"
#include "devices/sim/simulated_evm.h"
#include "evm.h"
#include "gui/plot/frm_measurement_plot.h"
#include "hid/board_ids.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace {

// A continuous-read log of `passes` passes a second apart.
void WriteLog(const std::string& path, long passes) {
  std::ofstream log(path, std::ios::binary);
  log << evm::LogHeaderRecord();
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

void BM_PlotPass(benchmark::State& state) {
  evm::test::TempDir dir;
  evm::FakeClock clock;
  evm::test::RecordingUi ui;
  auto sim = evm::sim::SimulatedEvm::CreateDefault(clock, evm::kDefaultBoardVendorId);
  evm::Evm evm(evm::EvmSeams{*sim, clock, ui, evm::NumberLocale::Point(), dir.path(),
                             evm::kDefaultBoardVendorId});
  const std::string log = (dir.path() / "log.csv").string();
  WriteLog(log, state.range(0));
  evm::gui::frmMeasurementPlot plot(evm);
  plot.resize(1000, 800);
  plot.show();
  QApplication::processEvents();
  if (!plot.OpenLog(log)) state.SkipWithError("log not read");
  QImage picture(plot.size(), QImage::Format_ARGB32_Premultiplied);
  evm::MeasurementPass pass{plot.Series().LastTime(), 12, 0.01, 1, 12, true};
  for (auto _ : state) {
    pass.time += 1;
    for (const auto& listener : evm.measurement.passListeners) listener.second(pass);
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

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
