// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/sample_buffer.h"

#include <algorithm>

namespace evm {

SampleBuffer::SampleBuffer(size_t capacity, WhenFull whenFull)
    : capacity_(std::max<size_t>(capacity, 1)), whenFull_(whenFull) {}

bool SampleBuffer::Push(const Sample& sample) {
  std::unique_lock lock(mutex_);
  if (whenFull_ == WhenFull::Wait) {
    changed_.wait(lock, [&] { return abandoned_ || samples_.size() < capacity_; });
  }
  if (abandoned_) return false;
  if (samples_.size() >= capacity_) {
    ++dropped_;
    return true;
  }
  samples_.push_back(sample);
  lock.unlock();
  changed_.notify_all();
  return true;
}

void SampleBuffer::Finish() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  changed_.notify_all();
}

bool SampleBuffer::Take(std::vector<Sample>& out, size_t max, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return finished_ || !samples_.empty(); });
  const size_t n = std::min(max, samples_.size());
  out.insert(out.end(), std::make_move_iterator(samples_.begin()),
             std::make_move_iterator(samples_.begin() + static_cast<std::ptrdiff_t>(n)));
  samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(n));
  const bool more = !(finished_ && samples_.empty()) || n > 0;
  lock.unlock();
  if (n > 0) changed_.notify_all();
  return more;
}

void SampleBuffer::Abandon() {
  {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    samples_.clear();
  }
  changed_.notify_all();
}

long SampleBuffer::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

}  // namespace evm
