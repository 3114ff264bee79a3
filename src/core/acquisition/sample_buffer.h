// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "acquisition/sample.h"

namespace evm {

// The samples of a run on their way from the thread that reads them to
// whoever consumes them. It never holds more than its capacity: a consumer
// that does not keep up loses samples, counted, and the board's pace is not
// held up. On a virtual clock nothing real is lost by waiting, so the
// reader may wait for room instead and every sample arrives.
class SampleBuffer {
 public:
  enum class WhenFull { Drop, Wait };
  explicit SampleBuffer(size_t capacity, WhenFull whenFull = WhenFull::Drop);

  // From the reader. False when the consumer has gone and reading should end.
  bool Push(const Sample& sample);
  // The reader is done: Take gives what is left, then reports the end.
  void Finish();

  // From the consumer: moves up to `max` samples into `out`, waiting up to
  // `timeout` for the first. False once the run is finished and empty.
  bool Take(std::vector<Sample>& out, size_t max, std::chrono::milliseconds timeout);
  // The consumer has gone: a waiting reader wakes, and later pushes fail.
  void Abandon();

  long Dropped() const;
  size_t Capacity() const { return capacity_; }

 private:
  const size_t capacity_;
  const WhenFull whenFull_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Sample> samples_;
  long dropped_ = 0;
  bool finished_ = false;
  bool abandoned_ = false;
};

}  // namespace evm
