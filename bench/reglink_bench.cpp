// What the program itself adds to a register access: everything but the
// settle time and the board's answer, which the fake clock takes away.
#include <benchmark/benchmark.h>

#include "calibration/eng_number.h"
#include "common/clock.h"
#include "devices/sim/simulated_evm.h"
#include "hid/board_ids.h"
#include "reglink/register_link.h"

namespace {

void BM_ReadRegWord(benchmark::State& state) {
  evm::FakeClock clock;
  evm::I2CResults results;
  auto sim = evm::sim::SimulatedEvm::CreateDefault(clock, evm::kDefaultBoardVendorId);
  evm::RegisterLink link(*sim, clock, results, evm::kDefaultBoardVendorId);
  for (auto _ : state) {
    link.ReadRegWord(0x40, 2);
    benchmark::DoNotOptimize(results.I2C_ReadData[0]);
  }
}
BENCHMARK(BM_ReadRegWord);

void BM_ParseAndFormatEngNumber(benchmark::State& state) {
  const evm::NumberLocale locale = evm::NumberLocale::Point();
  for (auto _ : state) {
    const double v = evm::ParseEngNumber("30.518u", locale);
    benchmark::DoNotOptimize(evm::FormatEngNumber(v, locale));
  }
}
BENCHMARK(BM_ParseAndFormatEngNumber);

}  // namespace
