// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own cost, measured on the simulated EVM with a fake clock so
// that the settle times and time-outs the board asks for count as nothing.
#include <benchmark/benchmark.h>

#ifdef EVM_BENCH_GUI
#include <QApplication>
#endif

int main(int argc, char** argv) {
#ifdef EVM_BENCH_GUI
  // The windows are measured without a screen unless one is asked for.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
