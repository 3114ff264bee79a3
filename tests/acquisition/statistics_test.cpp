// SPDX-License-Identifier: GPL-3.0-or-later
// The run's figures against a plain two-pass reference in long double, and
// the same figures from blocks, merges and the summaries.
#include "acquisition/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "acquisition/sample_summary.h"

namespace evm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Reference {
  long double min = 0, max = 0, mean = 0, std = 0, charge = 0, energy = 0;
  int64_t count = 0;
};

// Straight from the definitions in the header, the slow way.
Reference ReferenceOf(const std::vector<StatSample>& samples, size_t q) {
  Reference r;
  long double sum = 0;
  for (const StatSample& s : samples) {
    if (std::isnan(s.values[q])) continue;
    r.min = r.count == 0 ? s.values[q] : std::min<long double>(r.min, s.values[q]);
    r.max = r.count == 0 ? s.values[q] : std::max<long double>(r.max, s.values[q]);
    sum += s.values[q];
    ++r.count;
  }
  if (r.count > 0) r.mean = sum / r.count;
  long double m2 = 0;
  for (const StatSample& s : samples) {
    if (!std::isnan(s.values[q])) m2 += (s.values[q] - r.mean) * (s.values[q] - r.mean);
  }
  if (r.count > 0) r.std = std::sqrt(m2 / r.count);
  for (size_t i = 0; i + 1 < samples.size(); ++i) {
    const long double dt = samples[i + 1].time - samples[i].time;
    r.charge += samples[i].values[2] * dt;
    r.energy += samples[i].values[3] * dt;
  }
  return r;
}

void ExpectNear(long double want, double got, const std::string& what) {
  const double tolerance = 1e-12 * std::max(1.0L, std::fabs(want)) + 1e-15;
  EXPECT_NEAR(static_cast<double>(want), got, tolerance) << what;
}

void ExpectMatches(const std::vector<StatSample>& samples, const Statistics& stats,
                   const std::string& name) {
  ASSERT_EQ(stats.Samples(), static_cast<int64_t>(samples.size())) << name;
  ExpectNear(samples.back().time - samples.front().time, stats.Seconds(), name + " seconds");
  for (size_t q = 0; q < kStatQuantities; ++q) {
    const Reference r = ReferenceOf(samples, q);
    const QuantityStats& s = stats.Of(static_cast<StatQuantity>(q));
    const std::string what = name + " " + std::string(kStatQuantityNames[q]);
    ASSERT_EQ(s.count, r.count) << what;
    if (r.count == 0) continue;
    ExpectNear(r.min, s.min, what + " min");
    ExpectNear(r.max, s.max, what + " max");
    ExpectNear(r.mean, s.mean, what + " mean");
    // Deviations around a large offset: relative to the spread itself.
    EXPECT_NEAR(static_cast<double>(r.std), s.Std(), 1e-7 * static_cast<double>(r.std) + 1e-15)
        << what << " std";
    ExpectNear(r.max - r.min, s.PeakToPeak(), what + " peak to peak");
  }
  const Reference r = ReferenceOf(samples, 2);
  ExpectNear(r.charge, stats.ChargeAmpSeconds(), name + " charge");
  ExpectNear(r.charge / 3.6L, stats.ChargeMah(), name + " mAh");
  ExpectNear(r.energy, stats.EnergyJoules(), name + " energy");
  ExpectNear(r.energy / 3600, stats.EnergyWh(), name + " Wh");
}

std::vector<StatSample> Random(size_t n, uint32_t seed, double step, double jitter, double offset,
                               double spread) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<StatSample> samples(n);
  double t = 1.7e9;  // seconds since 1970, as the runs give them
  for (StatSample& s : samples) {
    t += step * (1 + jitter * (unit(random) - 0.5));
    const double amps = offset + spread * (unit(random) - 0.5);
    const double bus = 12 + spread * 1e-3 * (unit(random) - 0.5);
    s = {t, {bus, amps * 0.01, amps, amps * bus}};
  }
  return samples;
}

TEST(Statistics, AgreeWithTheDefinitionsOnRandomAndEdgeData) {
  struct Case {
    std::string name;
    std::vector<StatSample> samples;
  };
  std::vector<StatSample> uneven = {{0, {12, 0.01, 1, 12}},
                                    {0.001, {12, 0.02, 2, 24}},
                                    {0.5, {12, 0.01, 1, 12}},
                                    {0.502, {11, -0.03, -3, -33}},
                                    {2.0, {12, 0.01, 1, 12}}};
  std::vector<StatSample> signChange;
  for (int i = 0; i < 1000; ++i) {
    const double amps = i < 400 ? 0.5 : -0.25;
    signChange.push_back({i * 0.004, {5, amps / 100, amps, amps * 5}});
  }
  std::vector<StatSample> twoRegisters = Random(3000, 7, 0.004, 0.2, 1, 0.1);
  for (StatSample& s : twoRegisters) s.values[1] = kNaN;
  const std::vector<Case> cases = {
      {"one sample", {{5, {12, 0.01, 1, 12}}}},
      {"equal samples", std::vector<StatSample>(700, {3, {12, 0.01, 1, 12}})},
      {"equal samples at rising times", Random(700, 1, 0.004, 0, 1, 0)},
      {"uneven time steps", uneven},
      {"sign change of the current", signChange},
      {"random, many chunks", Random(10000, 2, 0.004, 0.5, 0.2, 2)},
      {"small noise on a large offset", Random(5000, 3, 0.004, 0.1, 1000, 1e-6)},
      {"shunt voltage not read", twoRegisters},
  };
  for (const Case& c : cases) {
    Statistics streamed;
    for (const StatSample& s : c.samples) streamed.Add(s);
    ExpectMatches(c.samples, streamed, c.name + " (one by one)");
    Statistics blocks;
    blocks.Add(c.samples);
    ExpectMatches(c.samples, blocks, c.name + " (in blocks)");
    // Any cut merges into the figures of the whole.
    for (const size_t cut : {size_t{1}, c.samples.size() / 3, c.samples.size() - 1}) {
      if (cut == 0 || cut >= c.samples.size()) continue;
      Statistics head, tail;
      head.Add(std::span(c.samples).first(cut));
      tail.Add(std::span(c.samples).subspan(cut));
      head.Merge(tail);
      ExpectMatches(c.samples, head, c.name + " (merged at " + std::to_string(cut) + ")");
    }
  }
}

TEST(Statistics, HoldAndLostCountOnlyWhereTheyBelong) {
  Statistics stats;
  stats.HoldUntil(10);  // nothing to hold yet
  stats.CountLost(3);
  stats.Add({1, {12, 0.01, 2, 24}});
  stats.HoldUntil(4);
  EXPECT_DOUBLE_EQ(stats.Seconds(), 3);
  EXPECT_DOUBLE_EQ(stats.ChargeAmpSeconds(), 6);
  EXPECT_DOUBLE_EQ(stats.EnergyJoules(), 72);
  // A span merged later starts where the hold ended: no time twice.
  Statistics later;
  later.CountLost(2);
  later.Add({5, {12, 0.01, 1, 12}});
  stats.Merge(later);
  EXPECT_DOUBLE_EQ(stats.ChargeAmpSeconds(), 8);
  EXPECT_DOUBLE_EQ(stats.Seconds(), 4);
  EXPECT_EQ(stats.Lost(), 5);
  EXPECT_EQ(stats.Samples(), 2);
  // An empty span before keeps its lost count.
  Statistics empty;
  empty.CountLost(1);
  empty.Merge(stats);
  EXPECT_EQ(empty.Lost(), 6);
  EXPECT_DOUBLE_EQ(empty.ChargeAmpSeconds(), 8);
}

TEST(Histogram, CountsEachValueInItsBinAndMergesOnEqualCuts) {
  const HistogramSpec spec{StatQuantity::Amps, 0, 1, 4};
  Histogram h(spec);
  for (const double v : {-0.1, 0.0, 0.2499, 0.25, 0.5, 0.99, 1.0, 1.01, kNaN}) h.Add(v);
  EXPECT_EQ(h.Counts(), (std::vector<int64_t>{2, 1, 1, 2}));
  EXPECT_EQ(h.Below(), 1);
  EXPECT_EQ(h.Above(), 1);
  EXPECT_EQ(h.Total(), 8);
  Histogram other(spec);
  other.Add(StatSample{0, {12, 0.01, 0.3, 3.6}});
  ASSERT_TRUE(h.Merge(other));
  EXPECT_EQ(h.Counts()[1], 2);
  Histogram elsewhere(HistogramSpec{StatQuantity::Amps, 0, 2, 4});
  elsewhere.Add(0.1);
  EXPECT_FALSE(h.Merge(elsewhere));
  EXPECT_EQ(h.Total(), 9);
  // One value only still has a bin to fall in.
  Histogram single(HistogramSpec::Spanning(StatQuantity::Amps, 2, 2, 8));
  single.Add(2);
  EXPECT_EQ(single.Below() + single.Above(), 0);
  EXPECT_EQ(single.Total(), 1);
}

// The samples as the summary holds them: values in single precision.
std::vector<StatSample> AsHeld(const SampleSummary& summary, SampleSummary::Range range) {
  std::vector<StatSample> held;
  for (size_t i = range.first; i < range.last; ++i) held.push_back(summary.SampleAt(i));
  return held;
}

TEST(SampleSummary, SpansGiveTheFiguresOfTheirSamples) {
  struct Case {
    std::string name;
    size_t capacity;
    size_t samples;
  };
  const std::vector<Case> cases = {
      {"fewer than a block", 4096, 100},
      {"many levels", 1 << 14, 10000},
      {"after the ring came round", 2048, 9000},
  };
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SampleSummary summary(c.capacity);
    for (const StatSample& s : Random(c.samples, 5, 0.004, 0.5, 0.3, 1)) summary.Add(s);
    ASSERT_EQ(summary.Size(), std::min(summary.Capacity(), c.samples)) << c.name;
    std::vector<SampleSummary::Range> ranges = {{0, summary.Size()}, {0, 1}, {3, 3}};
    for (int i = 0; i < 40; ++i) {
      std::uniform_int_distribution<size_t> at(0, summary.Size());
      size_t a = at(random), b = at(random);
      if (a > b) std::swap(a, b);
      ranges.push_back({a, b});
    }
    // Block edges, where the records take over from the samples.
    ranges.push_back({SampleSummary::kBaseBlock, 4 * SampleSummary::kBaseBlock});
    for (const SampleSummary::Range range : ranges) {
      if (range.last > summary.Size()) continue;
      const std::string name =
          c.name + " [" + std::to_string(range.first) + ", " + std::to_string(range.last) + ")";
      const Statistics stats = summary.Of(range);
      if (range.Count() == 0) {
        EXPECT_TRUE(stats.Empty()) << name;
        continue;
      }
      // The last sample holds until the next one held, as in one long run.
      std::vector<StatSample> held = AsHeld(summary, {range.first, range.last});
      Statistics direct;
      direct.Add(held);
      if (range.last < summary.Size()) direct.HoldUntil(summary.At(range.last).time);
      ASSERT_EQ(stats.Samples(), direct.Samples()) << name;
      for (size_t q = 0; q < kStatQuantities; ++q) {
        const auto& s = stats.Of(static_cast<StatQuantity>(q));
        const auto& d = direct.Of(static_cast<StatQuantity>(q));
        EXPECT_EQ(s.min, d.min) << name;
        EXPECT_EQ(s.max, d.max) << name;
        EXPECT_NEAR(s.mean, d.mean, 1e-12 * std::fabs(d.mean) + 1e-15) << name;
        EXPECT_NEAR(s.Std(), d.Std(), 1e-9 * d.Std() + 1e-15) << name;
      }
      EXPECT_NEAR(stats.ChargeAmpSeconds(), direct.ChargeAmpSeconds(),
                  1e-12 * std::fabs(direct.ChargeAmpSeconds()) + 1e-15)
          << name;
      EXPECT_NEAR(stats.Seconds(), direct.Seconds(), 1e-9) << name;
    }
  }
}

TEST(SampleSummary, TimesSelectTheSamplesBetweenThem) {
  SampleSummary summary(1024);
  for (int i = 0; i < 3000; ++i) summary.Add({i * 0.5, {12, 0.01, i < 2000 ? 1.0 : 3.0, 12}});
  // Held: the newest 1024, from 988 s on.
  EXPECT_DOUBLE_EQ(summary.FirstTime(), (3000 - 1024) * 0.5);
  const SampleSummary::Range r = summary.Span(1000, 1002.5);
  EXPECT_EQ(r.Count(), 6u);
  EXPECT_EQ(summary.Between(-5, 0).Samples(), 0);
  const Statistics all = summary.Between(0, 1e9);
  EXPECT_EQ(all.Samples(), 1024);
  EXPECT_DOUBLE_EQ(all.Of(StatQuantity::Amps).min, 1);
  EXPECT_DOUBLE_EQ(all.Of(StatQuantity::Amps).max, 3);
  const Histogram h =
      summary.HistogramOf(summary.Span(0, 1e9), HistogramSpec{StatQuantity::Amps, 0, 4, 4});
  EXPECT_EQ(h.Counts(), (std::vector<int64_t>{0, 24, 0, 1000}));
}

}  // namespace
}  // namespace evm
