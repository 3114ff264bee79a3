// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/date_seconds.h"

#include <cmath>
#include <cstdio>

namespace evm {

namespace {

constexpr double kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysOf(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153L * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

DateTime DateOf(double seconds) {
  const auto whole = static_cast<long>(std::floor(seconds / kSecondsPerDay));
  long z = whole + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  DateTime t;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  const double inDay = seconds - static_cast<double>(whole) * kSecondsPerDay;
  const auto s = static_cast<long>(inDay);
  t.hour = static_cast<int>(s / 3600);
  t.minute = static_cast<int>(s / 60 % 60);
  t.second = static_cast<int>(s % 60);
  return t;
}

}  // namespace

double SecondsOf(const DateTime& t) {
  return static_cast<double>(DaysOf(t.year, t.month, t.day)) * kSecondsPerDay + t.hour * 3600.0 +
         t.minute * 60.0 + t.second;
}

std::string TimeStampText(double seconds) {
  // Whole milliseconds, so that 59.9996 s does not print as 60 s.
  const double ms = std::round(seconds * 1000);
  const double whole = std::floor(ms / 1000);
  const DateTime t = DateOf(whole);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, static_cast<int>(ms - whole * 1000));
  return stamp;
}

}  // namespace evm
