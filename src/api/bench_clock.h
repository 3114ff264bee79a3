// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <stop_token>

#include "common/clock.h"

namespace evm {

// The clock a Bench's operations wait on: a stop request cuts the wait in
// progress short, so a binding or a server can cancel a time-out.
class BenchClock final : public Clock {
 public:
  static constexpr int64_t kSliceMs = 50;
  explicit BenchClock(Clock& base) : base_(base) {}

  void Watch(std::stop_token stop) { stop_ = std::move(stop); }

  void SleepMs(int64_t ms) override {
    while (ms > 0 && !StopRequested()) {
      const int64_t slice = std::min(ms, kSliceMs);
      base_.SleepMs(slice);
      ms -= slice;
    }
  }
  void SleepUs(int64_t us) override {
    while (us > 0 && !StopRequested()) {
      const int64_t slice = std::min(us, kSliceMs * 1000);
      base_.SleepUs(slice);
      us -= slice;
    }
  }
  double SecondsSinceMidnight() override { return base_.SecondsSinceMidnight(); }
  DateTime Now() override { return base_.Now(); }
  bool StopRequested() override { return stop_.stop_requested() || base_.StopRequested(); }
  bool Virtual() override { return base_.Virtual(); }

 private:
  Clock& base_;
  std::stop_token stop_;
};

}  // namespace evm
