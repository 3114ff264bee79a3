// SPDX-License-Identifier: GPL-3.0-or-later
// Core alone: what a register transfer, a mnemonic, a script step, a debug
// entry, a log record and a script load cost the program itself.
#include <benchmark/benchmark.h>

#include "acquisition/acquisition.h"
#include "acquisition/continuous_read.h"
#include "bench_support.h"
#include "mnemonic/mnemonic_language.h"
#include "registers/register_cycle.h"
#include "script/evm_script_board.h"
#include "script/script_files.h"
#include "script/script_interpreter.h"

namespace evm::bench {
namespace {

void BM_RegisterRead(benchmark::State& state) {
  SimEvm s;
  for (auto _ : state) {
    s.evm.regLink().ReadRegWord(0x40, 2);
    benchmark::DoNotOptimize(s.evm.results().I2C_ReadData[0]);
  }
}
BENCHMARK(BM_RegisterRead);

void BM_RegisterWrite(benchmark::State& state) {
  SimEvm s;
  uint8_t v = 0;
  for (auto _ : state) benchmark::DoNotOptimize(s.evm.regLink().WriteRegWord(0x40, 2, 0x12, ++v));
}
BENCHMARK(BM_RegisterWrite);

// Six registers and the values derived from them: what a continuous read
// adds to its 600 ms of settle time per pass.
void BM_ContinuousReadPass(benchmark::State& state) {
  SimEvm s;
  for (auto _ : state) ReadAllRegs(s.evm, s.panels);
}
BENCHMARK(BM_ContinuousReadPass);

// One sample of the fast acquisition (4 or 2 registers) at the fastest
// conversion time: the program's own cost beside the 8 ms (4 ms) the USB
// frames take for it, the simulated EVM's included.
void BM_FastSample(benchmark::State& state) {
  SimEvm s;
  constexpr uint16_t kNineBits = 0x3807;
  s.evm.regLink().WriteRegWord(0x40, 0, kNineBits >> 8, kNineBits & 0xFF);
  const AcquisitionMode mode =
      state.range(0) == 2 ? AcquisitionMode::FastTwo : AcquisitionMode::Fast;
  Acquirer acquirer(s.evm.regLink(), s.clock, {.mode = mode});
  const std::function<bool()> never = [] { return false; };
  for (auto _ : state) benchmark::DoNotOptimize(acquirer.Next(never));
}
BENCHMARK(BM_FastSample)->Arg(4)->Arg(2);

void BM_MnemonicEncode(benchmark::State& state, const char* text) {
  ParsedMnemonic parsed;
  for (auto _ : state) {
    ParseMnemonicText(text, 1, parsed);
    benchmark::DoNotOptimize(parsed.report[0]);
  }
}
BENCHMARK_CAPTURE(BM_MnemonicEncode, short, "CMD ON");
BENCHMARK_CAPTURE(BM_MnemonicEncode, tokens11, "I2C CH2 S 98 ACKS 10 ACKS 40 ACKS 11 ACKS P");

// Steps per second of Run Script without a window, on the simulated board.
void BM_ScriptStepsCore(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  SimEvm s;
  const auto file = WriteScript(s.folder.path(), rows);
  EvmScriptBoard board(s.evm);
  ScriptGrid grid;
  LoadScript(grid, file, s.ui);
  for (auto _ : state) {
    ScriptContext ctx{grid, board, s.ui, s.evm.locale()};
    RunScript(ctx);
  }
  state.SetItemsProcessed(state.iterations() * rows);
}
BENCHMARK(BM_ScriptStepsCore)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// One debug entry when the log already holds `entries` entries.
void BM_DebugLogAppend(benchmark::State& state) {
  UsbDebugLog log;
  const std::string entry = "  Result = The operation completed successfully.";
  for (int64_t i = 0; i < state.range(0); ++i) log.Entry(entry);
  for (auto _ : state) log.Entry(entry);
  benchmark::DoNotOptimize(log.Text().size());
}
BENCHMARK(BM_DebugLogAppend)->Arg(1000)->Arg(100000)->Iterations(10000);

// One record of the measurement log, formatted.
void BM_LogRecords(benchmark::State& state) {
  SimEvm s;
  ReadAllRegs(s.evm, s.panels);
  const MeasurementRecord record = RecordOfStore(s.evm, s.clock.Now());
  for (auto _ : state) benchmark::DoNotOptimize(LogDataRecord(record));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogRecords);

void BM_ScriptLoad(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  ScratchFolder folder("load");
  const auto file = WriteScript(folder.path(), rows);
  BenchUi ui;
  for (auto _ : state) {
    ScriptGrid grid;
    LoadScript(grid, file, ui);
    benchmark::DoNotOptimize(grid.ScriptLastRow);
  }
}
BENCHMARK(BM_ScriptLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace evm::bench
