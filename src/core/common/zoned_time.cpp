// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/zoned_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace evm {

namespace {

// Seconds east of UTC of the wall-clock time `wall` holds.
long OffsetOf(std::time_t whole, const std::tm& wall) {
  std::tm asLocal = wall;
  asLocal.tm_isdst = -1;
  const std::time_t epoch = std::mktime(&asLocal);
  return epoch == static_cast<std::time_t>(-1) ? 0 : static_cast<long>(whole - epoch);
}

std::tm WallOf(std::time_t whole) {
  std::tm wall{};
#ifdef _WIN32
  gmtime_s(&wall, &whole);
#else
  gmtime_r(&whole, &wall);
#endif
  return wall;
}

}  // namespace

double EpochSecondsOf(double localSeconds) noexcept {
  const auto whole = static_cast<std::time_t>(std::floor(localSeconds));
  return localSeconds - static_cast<double>(OffsetOf(whole, WallOf(whole)));
}

ZonedTime ZonedTimeOf(double localSeconds, int decimals) {
  decimals = std::clamp(decimals, 0, 6);
  const double unit = std::pow(10.0, decimals);
  auto whole = static_cast<std::time_t>(std::floor(localSeconds));
  auto fraction = std::llround((localSeconds - static_cast<double>(whole)) * unit);
  if (static_cast<double>(fraction) >= unit) {
    ++whole;
    fraction = 0;
  }
  const std::tm wall = WallOf(whole);
  // The same fields read as local time give the instant, and so the zone.
  const long offset = OffsetOf(whole, wall);
  char text[64];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", wall.tm_year + 1900,
                        wall.tm_mon + 1, wall.tm_mday, wall.tm_hour, wall.tm_min, wall.tm_sec);
  if (decimals > 0) {
    n += std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%0*lld", decimals,
                       static_cast<long long>(fraction));
  }
  const long minutes = std::labs(offset) / 60;
  std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%c%02ld:%02ld",
                offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return {text, static_cast<double>(whole - offset) + static_cast<double>(fraction) / unit};
}

ZonedTime ZonedTimeOf(const DateTime& wallClock) {
  using namespace std::chrono;
  const sys_days day{year{wallClock.year} / wallClock.month / wallClock.day};
  const double seconds = static_cast<double>(day.time_since_epoch().count()) * 86400.0 +
                         wallClock.hour * 3600.0 + wallClock.minute * 60.0 + wallClock.second;
  return ZonedTimeOf(seconds, 0);
}

}  // namespace evm
