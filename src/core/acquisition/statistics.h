// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

namespace evm {

// The quantities statistics are kept of, in the order of the fast log's
// columns, named as every front end names them.
enum class StatQuantity { BusVolts, ShuntVolts, Amps, Watts };
inline constexpr size_t kStatQuantities = 4;
inline constexpr std::array<std::string_view, kStatQuantities> kStatQuantityNames{
    "bus_volts", "shunt_volts", "amps", "watts"};
constexpr size_t IndexOf(StatQuantity q) {
  return static_cast<size_t>(q);
}

// One measured sample: its time in seconds (any origin, never decreasing
// from one sample to the next) and its four quantities. A quantity the run
// did not read is NaN and counts in none of its figures.
struct StatSample {
  double time = 0;
  std::array<double, kStatQuantities> values{};
};

// Figures of one quantity: the count of its values, smallest, largest,
// arithmetic mean of the values (every sample weighs the same, however
// uneven their times), and the population standard deviation (divided by
// the count, as numpy's std). The spread is kept as the sum of squared
// deviations from the mean, updated per block and merged with the
// pairwise formula, so it stays exact where the values sit far from zero
// (12 V with microvolt noise) and two records of adjacent spans merge into
// the record of the whole.
struct QuantityStats {
  int64_t count = 0;
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  double mean = 0;
  double m2 = 0;  // sum of squared deviations from the mean

  bool Empty() const { return count == 0; }
  double Std() const;
  double PeakToPeak() const { return count > 0 ? max - min : 0; }
  void Merge(const QuantityStats& other);
};

// Statistics of a run of samples in one streaming pass, in constant memory.
//
// Charge and energy integrate current and power over time with each sample
// holding its value until the next sample's time (a sample and hold, as the
// device's register holds its last conversion). So:
//   charge_amp_seconds = sum of amps[i] * (time[i+1] - time[i])
// over the samples of the span, and likewise energy_joules of watts. The
// last sample of a span holds until HoldUntil() moves the end on, or until
// the first sample of a span merged after it: the summaries of adjacent
// spans then add up to the figures of the whole, and uneven time steps
// weigh each value by the time it held. The time covered (Seconds) runs
// from the first sample to that end. charge / seconds is thus the time
// weighted mean current, which differs from the mean of the samples
// when the steps are uneven.
class Statistics {
 public:
  void Add(const StatSample& sample);
  // The same figures as Add for each, a block at a time.
  void Add(std::span<const StatSample> samples);
  // Appends the figures of a span that starts where this one ends (or
  // later): the result is the figures of both spans' samples, the last
  // sample of this one holding until the first of `later`.
  void Merge(const Statistics& later);
  // The last sample holds until `time`, which ends the span there.
  void HoldUntil(double time);
  // Samples of the span that were lost: read but not acknowledged, or no
  // room for them on their way. They count in no figure but this.
  void CountLost(int64_t lost) { lost_ += lost; }

  bool Empty() const { return samples_ == 0; }
  int64_t Samples() const { return samples_; }
  int64_t Lost() const { return lost_; }
  double FirstTime() const { return first_; }
  double EndTime() const { return end_; }
  double Seconds() const { return samples_ > 0 ? end_ - first_ : 0; }
  const QuantityStats& Of(StatQuantity q) const { return q_[IndexOf(q)]; }
  double ChargeAmpSeconds() const { return charge_; }
  double ChargeMah() const { return charge_ / 3.6; }
  double EnergyJoules() const { return energy_; }
  double EnergyWh() const { return energy_ / 3600; }

  // Adds the figures of a block of up to kChunk values held as `get(i)`:
  // public for the summaries, which keep their samples in single precision.
  static constexpr size_t kChunk = 256;
  template <typename Get>
  void AddChunk(size_t n, Get&& get);

 private:
  // Integrates the held values up to `time`.
  void Hold(double time) {
    const double dt = time > end_ ? time - end_ : 0;
    // A quantity that was not read adds nothing, rather than making the sum NaN.
    if (heldAmps_ == heldAmps_) charge_ += heldAmps_ * dt;
    if (heldWatts_ == heldWatts_) energy_ += heldWatts_ * dt;
  }

  std::array<QuantityStats, kStatQuantities> q_{};
  int64_t samples_ = 0;
  int64_t lost_ = 0;
  double first_ = 0;
  double end_ = 0;
  double heldAmps_ = 0;
  double heldWatts_ = 0;
  double charge_ = 0;
  double energy_ = 0;
};

template <typename Get>
void Statistics::AddChunk(size_t n, Get&& get) {
  if (n == 0) return;
  const StatSample first = get(size_t{0});
  if (samples_ == 0) {
    first_ = first.time;
    end_ = first.time;
  } else {
    Hold(first.time);
  }
  // Each quantity of the chunk in two passes over values in cache: the sum
  // and extremes, then the squared deviations from the chunk's own mean;
  // the chunk then merges in as a record of its own.
  std::array<QuantityStats, kStatQuantities> chunk{};
  std::array<double, kStatQuantities> sum{};
  std::array<int64_t, kStatQuantities> count{};
  std::array<double, kStatQuantities> lo, hi;
  lo.fill(std::numeric_limits<double>::infinity());
  hi.fill(-std::numeric_limits<double>::infinity());
  double charge = 0, energy = 0;
  double lastTime = first.time, amps = first.values[2], watts = first.values[3];
  for (size_t i = 0; i < n; ++i) {
    const StatSample s = get(i);
    for (size_t q = 0; q < kStatQuantities; ++q) {
      const double v = s.values[q];
      const bool read = v == v;
      sum[q] += read ? v : 0;
      count[q] += read ? 1 : 0;
      lo[q] = v < lo[q] ? v : lo[q];
      hi[q] = v > hi[q] ? v : hi[q];
    }
    const double dt = s.time > lastTime ? s.time - lastTime : 0;
    charge += amps == amps ? amps * dt : 0;
    energy += watts == watts ? watts * dt : 0;
    lastTime = s.time > lastTime ? s.time : lastTime;
    amps = s.values[2];
    watts = s.values[3];
  }
  std::array<double, kStatQuantities> mean{};
  for (size_t q = 0; q < kStatQuantities; ++q) {
    mean[q] = count[q] > 0 ? sum[q] / static_cast<double>(count[q]) : 0;
  }
  std::array<double, kStatQuantities> m2{};
  for (size_t i = 0; i < n; ++i) {
    const StatSample s = get(i);
    for (size_t q = 0; q < kStatQuantities; ++q) {
      const double d = s.values[q] - mean[q];
      m2[q] += d == d ? d * d : 0;
    }
  }
  for (size_t q = 0; q < kStatQuantities; ++q) {
    chunk[q] = QuantityStats{count[q], lo[q], hi[q], mean[q], m2[q]};
    q_[q].Merge(chunk[q]);
  }
  samples_ += static_cast<int64_t>(n);
  charge_ += charge;
  energy_ += energy;
  end_ = lastTime > end_ ? lastTime : end_;
  heldAmps_ = amps;
  heldWatts_ = watts;
}

// How a histogram cuts its quantity: `bins` bins of equal width from `low`
// to `high`. Bin i holds low + i*w <= v < low + (i+1)*w, the last one also
// v == high; values below low or above high are counted apart, so no
// sample is lost from the total. Two histograms merge only on equal cuts.
struct HistogramSpec {
  StatQuantity quantity = StatQuantity::Amps;
  double low = 0;
  double high = 1;
  int bins = 64;

  bool Valid() const { return bins > 0 && high > low; }
  bool operator==(const HistogramSpec&) const = default;
  double BinWidth() const { return (high - low) / bins; }
  // `bins` bins from min to max, or around min when they are equal.
  static HistogramSpec Spanning(StatQuantity quantity, double min, double max, int bins);
};

class Histogram {
 public:
  Histogram() : Histogram(HistogramSpec{}) {}
  explicit Histogram(const HistogramSpec& spec);

  const HistogramSpec& Spec() const { return spec_; }
  void Add(double value);
  void Add(const StatSample& sample) { Add(sample.values[IndexOf(spec_.quantity)]); }
  // False, changing nothing, when the cuts differ.
  bool Merge(const Histogram& other);

  const std::vector<int64_t>& Counts() const { return counts_; }
  int64_t Below() const { return below_; }
  int64_t Above() const { return above_; }
  // Every value counted, below and above too; a NaN (not read) is not.
  int64_t Total() const { return total_; }
  double BinLow(int bin) const { return spec_.low + bin * spec_.BinWidth(); }

 private:
  HistogramSpec spec_;
  double scale_ = 1;
  std::vector<int64_t> counts_;
  int64_t below_ = 0;
  int64_t above_ = 0;
  int64_t total_ = 0;
};

}  // namespace evm
