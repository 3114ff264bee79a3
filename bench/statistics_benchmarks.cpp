// SPDX-License-Identifier: GPL-3.0-or-later
// Statistics: one pass over a run, a span of a day through the summaries,
// and a week of summary log on virtual time with its memory.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "acquisition/sample_summary.h"
#include "acquisition/statistics.h"
#include "acquisition/summary_log.h"
#include "bench_support.h"

namespace evm::bench {
namespace {

// Fast samples at 250 a second with noise and a pulse now and then.
std::vector<StatSample> Samples(size_t n) {
  std::vector<StatSample> samples(n);
  std::mt19937_64 random(1);
  std::normal_distribution<double> noise(0, 0.01);
  for (size_t i = 0; i < n; ++i) {
    const double amps = (i % 5000 < 50 ? 2.5 : 1.0) + noise(random);
    const double bus = 12 + noise(random) * 0.1;
    samples[i] = {1.7e9 + static_cast<double>(i) * 0.004, {bus, amps * 0.01, amps, amps * bus}};
  }
  return samples;
}

long ResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// One pass over 10 million samples; the counter "mean_error" is how far the
// mean current is from a two-pass sum in long double, relative.
void BM_StatisticsOf10M(benchmark::State& state) {
  const std::vector<StatSample> samples = Samples(10'000'000);
  long double sum = 0;
  for (const StatSample& s : samples) sum += s.values[2];
  const long double mean = sum / static_cast<long double>(samples.size());
  long double m2 = 0;
  for (const StatSample& s : samples) m2 += (s.values[2] - mean) * (s.values[2] - mean);
  const long double std = std::sqrt(m2 / static_cast<long double>(samples.size()));
  Statistics stats;
  for (auto _ : state) {
    stats = Statistics{};
    stats.Add(samples);
    benchmark::DoNotOptimize(stats);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(samples.size()));
  const QuantityStats& amps = stats.Of(StatQuantity::Amps);
  state.counters["mean_error"] = static_cast<double>(std::fabs((amps.mean - mean) / mean));
  state.counters["std_error"] = static_cast<double>(std::fabs((amps.Std() - std) / std));
}
BENCHMARK(BM_StatisticsOf10M)->Unit(benchmark::kMillisecond);

// The statistics between two markers placed anywhere in a day of fast
// samples (21.6 million at 250 a second), through the summaries.
void BM_MarkersInADay(benchmark::State& state) {
  constexpr size_t kDay = 21'600'000;
  SampleSummary summary(kDay);
  std::mt19937_64 random(2);
  std::normal_distribution<double> noise(0, 0.01);
  for (size_t i = 0; i < kDay; ++i) {
    const double amps = 1.0 + noise(random);
    summary.Add({static_cast<double>(i) * 0.004, {12, amps * 0.01, amps, amps * 12}});
  }
  std::uniform_real_distribution<double> at(0, static_cast<double>(kDay) * 0.004);
  int64_t samples = 0;
  for (auto _ : state) {
    double from = at(random), to = at(random);
    if (from > to) std::swap(from, to);
    const Statistics stats = summary.Between(from, to);
    samples += stats.Samples();
    benchmark::DoNotOptimize(stats);
  }
  state.counters["samples_per_span"] =
      static_cast<double>(samples) / static_cast<double>(state.iterations());
  state.counters["summary_MB"] = static_cast<double>(summary.MemoryBytes()) / 1e6;
}
BENCHMARK(BM_MarkersInADay)->Unit(benchmark::kMicrosecond);

// A week of a summary log at 1 s, fed four samples a second of virtual
// time: the counters give the rows and the resident memory at one day and
// at the end, which stay alike.
void BM_SummaryLogWeek(benchmark::State& state) {
  ScratchFolder folder("summary-log");
  constexpr int kSeconds = 7 * 86400;
  long rssDay = 0, rssWeek = 0;
  int64_t rows = 0;
  for (auto _ : state) {
    SummaryLog log(1.0);
    std::error_code ec;
    if (!log.Open(folder.path() / "week.csv", 0, ec)) {
      state.SkipWithError(ec.message().c_str());
      return;
    }
    for (int i = 0; i < kSeconds * 4; ++i) {
      const double amps = i % 4 == 0 ? 2.0 : 1.0;
      if (!log.Add({i * 0.25, {12, amps * 0.01, amps, amps * 12}}, ec)) {
        state.SkipWithError(ec.message().c_str());
        return;
      }
      if (i == 86400 * 4) rssDay = ResidentKb();
    }
    log.Finish(kSeconds, ec);
    rssWeek = ResidentKb();
    rows = log.Rows();
  }
  state.counters["rows"] = static_cast<double>(rows);
  state.counters["rss_day_kB"] = static_cast<double>(rssDay);
  state.counters["rss_week_kB"] = static_cast<double>(rssWeek);
}
BENCHMARK(BM_SummaryLogWeek)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace evm::bench
