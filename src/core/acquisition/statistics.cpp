// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/statistics.h"

#include <algorithm>
#include <cmath>

namespace evm {

double QuantityStats::Std() const {
  return count > 0 ? std::sqrt(m2 / static_cast<double>(count)) : 0;
}

void QuantityStats::Merge(const QuantityStats& other) {
  if (other.count == 0) return;
  if (count == 0) {
    *this = other;
    return;
  }
  const auto na = static_cast<double>(count);
  const auto nb = static_cast<double>(other.count);
  const double n = na + nb;
  const double delta = other.mean - mean;
  // Weighted so that merging a short block into a long run moves the mean
  // by the block's share only.
  mean += delta * (nb / n);
  m2 += other.m2 + delta * delta * (na * nb / n);
  count += other.count;
  min = std::min(min, other.min);
  max = std::max(max, other.max);
}

void Statistics::Add(const StatSample& sample) {
  AddChunk(1, [&sample](size_t) { return sample; });
}

void Statistics::Add(std::span<const StatSample> samples) {
  for (size_t at = 0; at < samples.size(); at += kChunk) {
    const size_t n = std::min(kChunk, samples.size() - at);
    const StatSample* block = samples.data() + at;
    AddChunk(n, [block](size_t i) { return block[i]; });
  }
}

void Statistics::Merge(const Statistics& later) {
  lost_ += later.lost_;
  if (later.samples_ == 0) return;
  if (samples_ == 0) {
    const int64_t lost = lost_;
    *this = later;
    lost_ = lost;
    return;
  }
  Hold(later.first_);
  for (size_t q = 0; q < kStatQuantities; ++q) q_[q].Merge(later.q_[q]);
  samples_ += later.samples_;
  charge_ += later.charge_;
  energy_ += later.energy_;
  end_ = std::max(end_, later.end_);
  heldAmps_ = later.heldAmps_;
  heldWatts_ = later.heldWatts_;
}

void Statistics::HoldUntil(double time) {
  if (samples_ == 0 || time <= end_) return;
  Hold(time);
  end_ = time;
}

HistogramSpec HistogramSpec::Spanning(StatQuantity quantity, double min, double max, int bins) {
  HistogramSpec spec{quantity, min, max, std::max(bins, 1)};
  if (!(max > min)) {
    // One value only: a bin around it wide enough to show it.
    const double half = std::max(std::abs(min) * 1e-6, 1e-12);
    spec.low = min - half;
    spec.high = min + half;
  }
  return spec;
}

Histogram::Histogram(const HistogramSpec& spec)
    : spec_(spec.Valid() ? spec : HistogramSpec{spec.quantity, spec.low, spec.low + 1, 1}),
      scale_(spec_.bins / (spec_.high - spec_.low)),
      counts_(static_cast<size_t>(spec_.bins)) {}

void Histogram::Add(double value) {
  if (value != value) return;
  ++total_;
  if (value < spec_.low) {
    ++below_;
  } else if (value > spec_.high) {
    ++above_;
  } else {
    // The top edge belongs to the last bin; rounding never gives more.
    const auto bin = std::min(static_cast<int64_t>((value - spec_.low) * scale_),
                              static_cast<int64_t>(spec_.bins - 1));
    ++counts_[static_cast<size_t>(bin)];
  }
}

bool Histogram::Merge(const Histogram& other) {
  if (!(other.spec_ == spec_)) return false;
  for (size_t i = 0; i < counts_.size(); ++i) counts_[i] += other.counts_[i];
  below_ += other.below_;
  above_ += other.above_;
  total_ += other.total_;
  return true;
}

}  // namespace evm
