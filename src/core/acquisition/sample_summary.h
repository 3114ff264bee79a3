// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acquisition/statistics.h"

namespace evm {

// The samples of a run with the statistics of blocks of them at every
// power-of-two size, so the statistics between any two times take the
// partial blocks at the two ends from the samples and the rest from at most
// two records per size: a few microseconds whatever the span, a day of
// fast samples included. The figures equal those of the samples themselves
// (up to the rounding of the order of the sums).
//
// Samples are held in single precision with a double time, as the plot
// holds them (24 bytes each, records add about 2 bytes a sample). When
// `capacity` samples are held the oldest make room: the capacity is
// rounded up to a power of two so no block straddles the ring's end.
class SampleSummary {
 public:
  struct Point {
    double time = 0;
    std::array<float, kStatQuantities> values{};
  };
  // Samples per record at the finest level; the partial blocks at the ends
  // of a span cost up to twice this many samples.
  static constexpr size_t kBaseBlock = 256;
  static constexpr size_t kDefaultCapacity = size_t{1} << 22;

  explicit SampleSummary(size_t capacity = kDefaultCapacity);

  // A measured sample, never earlier than the one before.
  void Add(const StatSample& sample);
  void Clear();

  size_t Size() const { return size_; }
  bool Empty() const { return size_ == 0; }
  size_t Capacity() const { return capacity_; }
  // Oldest held first.
  Point At(size_t i) const { return points_[(oldest_ + i) & mask_]; }
  StatSample SampleAt(size_t i) const;
  double FirstTime() const { return At(0).time; }
  double LastTime() const { return At(size_ - 1).time; }
  // Samples added since the last Clear, the ones given up for room too.
  int64_t Total() const { return total_; }

  // Indices [first, last) of the held samples with from <= time <= to.
  struct Range {
    size_t first = 0;
    size_t last = 0;
    size_t Count() const { return last - first; }
  };
  Range Span(double from, double to) const;

  // The statistics of the samples [first, last), the last of them holding
  // until the next held sample (or its own time at the newest).
  Statistics Of(Range range) const;
  // Of the samples with from <= time <= to.
  Statistics Between(double from, double to) const { return Of(Span(from, to)); }
  // A histogram of the samples of `range`, one pass over them.
  Histogram HistogramOf(Range range, const HistogramSpec& spec) const;

  // What the samples and records take, in bytes, at capacity.
  size_t MemoryBytes() const;

 private:
  void AddRaw(Statistics& stats, size_t absFirst, size_t absLast) const;
  void CloseBlock(size_t baseBlock);
  const Statistics& Record(int level, size_t block) const;

  size_t capacity_;
  size_t mask_;
  std::vector<Point> points_;  // a ring, grown to capacity_
  size_t oldest_ = 0;          // ring index of the oldest held sample
  size_t size_ = 0;
  int64_t total_ = 0;
  // levels_[k] holds the records of blocks of kBaseBlock << k samples, as
  // a ring indexed by the block's number since the last Clear.
  std::vector<std::vector<Statistics>> levels_;
};

}  // namespace evm
