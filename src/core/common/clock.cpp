// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>
#endif

namespace evm {

namespace {
std::tm LocalTime(std::time_t t) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  return local;
}

#ifdef _WIN32
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif
// The runtime's own sleep rounds a part of a millisecond down, often to
// nothing. A high-resolution waitable timer (Windows 10 1803 on) sleeps to a
// fraction of a millisecond without touching the system's timer.
struct HighResolutionTimer {
  HighResolutionTimer()
      : handle(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                      TIMER_ALL_ACCESS)) {}
  ~HighResolutionTimer() {
    if (handle) CloseHandle(handle);
  }
  HANDLE handle;
};

bool SleepOnTimer(int64_t us) {
  thread_local const HighResolutionTimer timer;
  if (!timer.handle) return false;
  LARGE_INTEGER due;
  due.QuadPart = -us * 10;  // relative, in 100 ns
  if (!SetWaitableTimer(timer.handle, &due, 0, nullptr, nullptr, FALSE)) return false;
  // A second beyond its due time is a timer that will not fire.
  return WaitForSingleObject(timer.handle, static_cast<DWORD>(us / 1000 + 1000)) == WAIT_OBJECT_0;
}

// Without that timer, a sleep lasts a whole scheduler tick (15.6 ms) unless
// the timer resolution is raised. That costs the whole system some power, so
// only a process that sleeps for less than a tick asks, and gives it back at
// its exit.
struct FinerSystemTimer {
  FinerSystemTimer() : raised(timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~FinerSystemTimer() {
    if (raised) timeEndPeriod(1);
  }
  bool raised;
};

void SleepFinely(int64_t us) {
  if (SleepOnTimer(us)) return;
  static const FinerSystemTimer finer;
  (void)finer;
  // Rounded up: a sleep that ends early would pass for one that was kept.
  Sleep(static_cast<DWORD>((us + 999) / 1000));
}
#else
void SleepFinely(int64_t us) {
  std::this_thread::sleep_for(std::chrono::microseconds(us));
}
#endif
}  // namespace

void SystemClock::SleepMs(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SystemClock::SleepUs(int64_t us) {
  if (us > 0) SleepFinely(us);
}

void StoppableClock::SleepMs(int64_t ms) {
  for (int64_t left = ms; left > 0 && !StopRequested(); left -= kSliceMs) {
    inner_.SleepMs(left < kSliceMs ? left : kSliceMs);
  }
}

void StoppableClock::SleepUs(int64_t us) {
  constexpr int64_t kSliceUs = kSliceMs * 1000;
  for (int64_t left = us; left > 0 && !StopRequested(); left -= kSliceUs) {
    inner_.SleepUs(left < kSliceUs ? left : kSliceUs);
  }
}

double SystemClock::SecondsSinceMidnight() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::tm local = LocalTime(system_clock::to_time_t(now));
  const auto frac = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
         static_cast<double>(frac) / 1e6;
}

DateTime SystemClock::Now() {
  const std::tm local = LocalTime(std::time(nullptr));
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

namespace {
constexpr int64_t kUsPerDay = 24LL * 3600 * 1000 * 1000;
}

FakeClock::FakeClock(DateTime start) {
  Set(start);
}

void FakeClock::Set(DateTime now) {
  start_ = now;
  startUsOfDay_ = ((now.hour * 60LL + now.minute) * 60 + now.second) * 1000000;
  offsetUs_ = 0;
}

void FakeClock::SleepMs(int64_t ms) {
  AdvanceMs(ms);
}

void FakeClock::SleepUs(int64_t us) {
  AdvanceUs(us);
}

void FakeClock::AdvanceMs(int64_t ms) {
  if (ms > 0) AdvanceUs(ms * 1000);
}

void FakeClock::AdvanceUs(int64_t us) {
  if (us <= 0) return;
  offsetUs_ += us;
  elapsedUs_ += us;
}

double FakeClock::SecondsSinceMidnight() {
  return static_cast<double>((startUsOfDay_ + offsetUs_) % kUsPerDay) / 1e6;
}

DateTime FakeClock::Now() {
  // Only the time of day moves; tests that need another date call Set().
  DateTime d = start_;
  const int64_t s = (startUsOfDay_ + offsetUs_) % kUsPerDay / 1000000;
  d.hour = static_cast<int>(s / 3600);
  d.minute = static_cast<int>(s / 60 % 60);
  d.second = static_cast<int>(s % 60);
  return d;
}

}  // namespace evm
