// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

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
}  // namespace

void SystemClock::SleepMs(int64_t ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void StoppableClock::SleepMs(int64_t ms) {
  for (int64_t left = ms; left > 0 && !StopRequested(); left -= kSliceMs) {
    inner_.SleepMs(left < kSliceMs ? left : kSliceMs);
  }
}

double SystemClock::SecondsSinceMidnight() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::tm local = LocalTime(system_clock::to_time_t(now));
  const auto frac = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + frac / 1000.0;
}

DateTime SystemClock::Now() {
  const std::tm local = LocalTime(std::time(nullptr));
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

namespace {
constexpr int64_t kMsPerDay = 24LL * 3600 * 1000;
}

FakeClock::FakeClock(DateTime start) {
  Set(start);
}

void FakeClock::Set(DateTime now) {
  start_ = now;
  startMsOfDay_ = ((now.hour * 60LL + now.minute) * 60 + now.second) * 1000;
  offsetMs_ = 0;
}

void FakeClock::SleepMs(int64_t ms) {
  AdvanceMs(ms);
}

void FakeClock::AdvanceMs(int64_t ms) {
  if (ms <= 0) return;
  offsetMs_ += ms;
  elapsedMs_ += ms;
}

double FakeClock::SecondsSinceMidnight() {
  return static_cast<double>((startMsOfDay_ + offsetMs_) % kMsPerDay) / 1000.0;
}

DateTime FakeClock::Now() {
  // Only the time of day moves; tests that need another date call Set().
  DateTime d = start_;
  const int64_t ms = (startMsOfDay_ + offsetMs_) % kMsPerDay;
  d.hour = static_cast<int>(ms / 3600000);
  d.minute = static_cast<int>(ms / 60000 % 60);
  d.second = static_cast<int>(ms / 1000 % 60);
  return d;
}

}  // namespace evm
