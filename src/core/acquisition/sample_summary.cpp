// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/sample_summary.h"

#include <algorithm>
#include <bit>

namespace evm {

SampleSummary::SampleSummary(size_t capacity)
    : capacity_(std::bit_ceil(std::max(capacity, kBaseBlock))), mask_(capacity_ - 1) {
  for (size_t block = kBaseBlock; block <= capacity_; block <<= 1) levels_.emplace_back();
}

void SampleSummary::Clear() {
  points_.clear();
  oldest_ = 0;
  size_ = 0;
  total_ = 0;
  for (auto& level : levels_) level.clear();
}

StatSample SampleSummary::SampleAt(size_t i) const {
  const Point& p = points_[(oldest_ + i) & mask_];
  return StatSample{p.time, {p.values[0], p.values[1], p.values[2], p.values[3]}};
}

void SampleSummary::Add(const StatSample& sample) {
  Point p{sample.time, {}};
  for (size_t q = 0; q < kStatQuantities; ++q) p.values[q] = static_cast<float>(sample.values[q]);
  const auto at = static_cast<size_t>(total_) & mask_;
  if (points_.size() < capacity_) {
    points_.push_back(p);
  } else {
    points_[at] = p;
  }
  ++total_;
  if (size_ < capacity_) {
    ++size_;
  } else {
    oldest_ = (oldest_ + 1) & mask_;
  }
  if (static_cast<size_t>(total_) % kBaseBlock == 0) {
    CloseBlock(static_cast<size_t>(total_) / kBaseBlock - 1);
  }
}

void SampleSummary::AddRaw(Statistics& stats, size_t absFirst, size_t absLast) const {
  for (size_t at = absFirst; at < absLast; at += Statistics::kChunk) {
    const size_t n = std::min(Statistics::kChunk, absLast - at);
    stats.AddChunk(n, [this, at](size_t i) {
      const Point& p = points_[(at + i) & mask_];
      return StatSample{p.time, {p.values[0], p.values[1], p.values[2], p.values[3]}};
    });
  }
}

const Statistics& SampleSummary::Record(int level, size_t block) const {
  const auto& records = levels_[static_cast<size_t>(level)];
  const size_t slots = capacity_ / (kBaseBlock << level);
  return records[block % slots];
}

void SampleSummary::CloseBlock(size_t baseBlock) {
  auto put = [this](int level, size_t block, const Statistics& stats) {
    auto& records = levels_[static_cast<size_t>(level)];
    const size_t slots = capacity_ / (kBaseBlock << level);
    if (records.size() < slots) {
      records.push_back(stats);
    } else {
      records[block % slots] = stats;
    }
  };
  Statistics base;
  AddRaw(base, baseBlock * kBaseBlock, (baseBlock + 1) * kBaseBlock);
  put(0, baseBlock, base);
  // Each completed pair makes the record of the block above it.
  size_t block = baseBlock;
  for (int level = 1; level < static_cast<int>(levels_.size()) && block % 2 == 1; ++level) {
    Statistics pair = Record(level - 1, block - 1);
    pair.Merge(Record(level - 1, block));
    block /= 2;
    put(level, block, pair);
  }
}

SampleSummary::Range SampleSummary::Span(double from, double to) const {
  auto firstNotBefore = [this](double time, bool inclusive) {
    size_t lo = 0, hi = size_;
    while (lo < hi) {
      const size_t mid = lo + (hi - lo) / 2;
      const double t = At(mid).time;
      if (inclusive ? t <= time : t < time) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    return lo;
  };
  Range range{firstNotBefore(from, false), firstNotBefore(to, true)};
  if (range.last < range.first) range.last = range.first;
  return range;
}

Statistics SampleSummary::Of(Range range) const {
  Statistics stats;
  range.last = std::min(range.last, size_);
  if (range.first >= range.last) return stats;
  const size_t base = static_cast<size_t>(total_) - size_;
  const size_t a = base + range.first;
  const size_t e = base + range.last;
  size_t p = (a + kBaseBlock - 1) / kBaseBlock;
  const size_t q = e / kBaseBlock;
  if (p >= q) {
    AddRaw(stats, a, e);
  } else {
    AddRaw(stats, a, p * kBaseBlock);
    const int levels = static_cast<int>(levels_.size());
    while (p < q) {
      // The largest block that starts here and ends within the span.
      int level = 0;
      while (level + 1 < levels && p % (size_t{2} << level) == 0 && p + (size_t{2} << level) <= q) {
        ++level;
      }
      stats.Merge(Record(level, p >> level));
      p += size_t{1} << level;
    }
    AddRaw(stats, q * kBaseBlock, e);
  }
  if (range.last < size_) stats.HoldUntil(At(range.last).time);
  return stats;
}

Histogram SampleSummary::HistogramOf(Range range, const HistogramSpec& spec) const {
  Histogram histogram(spec);
  const size_t q = IndexOf(spec.quantity);
  for (size_t i = range.first; i < std::min(range.last, size_); ++i) {
    histogram.Add(static_cast<double>(At(i).values[q]));
  }
  return histogram;
}

size_t SampleSummary::MemoryBytes() const {
  size_t records = 0;
  for (size_t block = kBaseBlock; block <= capacity_; block <<= 1) records += capacity_ / block;
  return capacity_ * sizeof(Point) + records * sizeof(Statistics);
}

}  // namespace evm
