// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

namespace evm {

struct DateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Every wait of the program goes through here, so that a test can run a
// 6-second time-out in microseconds and start-up can be tried in any month.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(int64_t ms) = 0;
  // For waits shorter than a millisecond, such as a USB frame; a clock that
  // cannot do better sleeps the whole millisecond.
  virtual void SleepUs(int64_t us) {
    if (us > 0) SleepMs((us + 999) / 1000);
  }
  virtual double SecondsSinceMidnight() = 0;
  virtual DateTime Now() = 0;
  // True once the user asked the program to end: every wait then ends
  // early, keeping what was done before it.
  virtual bool StopRequested() { return false; }
  // True for virtual time, where a wait costs nothing real: a reader may
  // then wait for its consumer instead of dropping what it read.
  virtual bool Virtual() { return false; }
};

// A clock whose waits end, within one slice, once `stop` is raised (by
// Ctrl-C or a termination request): a pause, a board's time-out and a
// settle time alike.
class StoppableClock final : public Clock {
 public:
  static constexpr int64_t kSliceMs = 50;
  StoppableClock(Clock& inner, const std::atomic<bool>* stop) : inner_(inner), stop_(stop) {}
  void SleepMs(int64_t ms) override;
  void SleepUs(int64_t us) override;
  double SecondsSinceMidnight() override { return inner_.SecondsSinceMidnight(); }
  DateTime Now() override { return inner_.Now(); }
  bool StopRequested() override { return (stop_ && stop_->load()) || inner_.StopRequested(); }
  bool Virtual() override { return inner_.Virtual(); }

 private:
  Clock& inner_;
  const std::atomic<bool>* stop_;
};

class SystemClock final : public Clock {
 public:
  void SleepMs(int64_t ms) override;
  // Precise to the system's scheduler. On Windows a high-resolution timer
  // does it; where there is none, the first call raises the timer resolution
  // to 1 ms for the rest of the process, since a default tick of 15.6 ms
  // would turn every 1 ms USB frame into 16.
  void SleepUs(int64_t us) override;
  double SecondsSinceMidnight() override;
  DateTime Now() override;
};

// Virtual time: sleeping advances it at once.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(DateTime start = {2026, 1, 15, 9, 0, 0});
  void SleepMs(int64_t ms) override;
  void SleepUs(int64_t us) override;
  double SecondsSinceMidnight() override;
  DateTime Now() override;
  bool Virtual() override { return true; }

  void Set(DateTime now);
  void AdvanceMs(int64_t ms);
  void AdvanceUs(int64_t us);
  // Whole milliseconds, rounded down.
  int64_t ElapsedMs() const { return elapsedUs_ / 1000; }
  int64_t ElapsedUs() const { return elapsedUs_; }

 private:
  DateTime start_;
  int64_t startUsOfDay_ = 0;
  int64_t offsetUs_ = 0;   // since start_, drives the time of day
  int64_t elapsedUs_ = 0;  // total slept or advanced, for assertions
};

}  // namespace evm
