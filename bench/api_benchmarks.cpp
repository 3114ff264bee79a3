// SPDX-License-Identifier: GPL-3.0-or-later
// The facade as a front end sees it: the figure the Python binding's own
// cost is taken against (bench/python_bench.py).
#include <benchmark/benchmark.h>

#include "zm5520evm/bench.h"

namespace evm::bench {
namespace {

void BM_BenchReadRegisters(benchmark::State& state) {
  auto bench = Bench::Open({.simulate = true});
  for (auto _ : state) benchmark::DoNotOptimize(bench->ReadRegisters());
}
BENCHMARK(BM_BenchReadRegisters);

}  // namespace
}  // namespace evm::bench
